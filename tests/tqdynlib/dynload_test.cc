// SPDX-License-Identifier: MIT
#include "tqdynlib/dynload.h"

#include <dlfcn.h>

#include <string>

#include <gtest/gtest.h>

namespace {

// Stand-in relocation libraries built by tests/tqsysq.
std::string fakeLibrary(const std::string& name) {
  return std::string(TQ_FAKE_RELOC_DIR) + "/" + name + "/libtqrelocations.so.0";
}

std::string text(const tqerr::JsonStatus& status) {
  return status.text ? status.text : "";
}

// The loader's own message for a failed dlopen, asked the same way.
std::string loaderMessageForOpen(const char* name) {
  dlerror();
  void* handle = dlopen(name, RTLD_NOW);
  EXPECT_EQ(handle, nullptr);
  const char* message = dlerror();
  return message ? message : "";
}

TEST(Dynload, LoadFailureDetail) {
  const char* name = "libtq-no-such-library.so.7";
  const std::string message = loaderMessageForOpen(name);
  ASSERT_FALSE(message.empty());

  tqerr::JsonStatus status;
  EXPECT_EQ(tqdynlib_load(name, RTLD_NOW | RTLD_GLOBAL, status), nullptr);
  EXPECT_EQ(status.code, -52005);
  EXPECT_EQ(text(status),
            "{\"error_constant\":\"tqapalerr_invalidParameter\",\"file\":\"tqdynlib/dynload\","
            "\"line\":65,\"component\":\"tqvlkaepropinit\",\"tqdynlib_debug\":{\"debug\":"
            "\"failed to tqdynlib_load library\",\"path\":\"" +
                std::string(name) + "\"},\"internal_error\":{\"api\":\"dlerror\",\"string\":\"" +
                message + "\"}}");
  // The loader's error state was left clear.
  EXPECT_EQ(dlerror(), nullptr);

  // A symbol lookup on the failed load's handle is skipped.
  const std::string before = text(status);
  EXPECT_EQ(tqdynlib_getSymbol(nullptr, "get_relocated_dir", status), nullptr);
  EXPECT_EQ(status.code, -52005);
  EXPECT_EQ(text(status), before);
  tqerr::release(status);
}

TEST(Dynload, SymbolFailureDetail) {
  const std::string path = fakeLibrary("without_symbol");
  tqerr::JsonStatus status;
  tqdynlib_handle handle = tqdynlib_load(path.c_str(), RTLD_NOW, status);
  ASSERT_NE(handle, nullptr) << text(status);
  EXPECT_EQ(status.code, 0);

  dlerror();
  EXPECT_EQ(dlsym(handle, "get_relocated_dir"), nullptr);
  const std::string message = dlerror();

  EXPECT_EQ(tqdynlib_getSymbol(handle, "get_relocated_dir", status), nullptr);
  EXPECT_EQ(status.code, -52005);
  EXPECT_EQ(text(status),
            "{\"error_constant\":\"tqapalerr_invalidParameter\",\"file\":\"tqdynlib/dynload\","
            "\"line\":140,\"component\":\"tqvlkaepropinit\",\"tqdynlib_debug\":{\"debug\":"
            "\"failed to get symbol\",\"tqdynlib_symbol\":\"get_relocated_dir\"},"
            "\"internal_error\":{\"api\":\"dlerror\",\"string\":\"" +
                message + "\"}}");
  EXPECT_EQ(dlerror(), nullptr);
  EXPECT_EQ(tqdynlib_unload(handle), 0);
  tqerr::release(status);
}

TEST(Dynload, LoadLookUpUnload) {
  const std::string path = fakeLibrary("relocates_nothing");
  tqerr::JsonStatus status;
  tqdynlib_handle handle = tqdynlib_load(path.c_str(), RTLD_NOW | RTLD_GLOBAL, status);
  ASSERT_NE(handle, nullptr);
  typedef int (*Lookup)(const char*, char*, int);
  Lookup lookup = reinterpret_cast<Lookup>(tqdynlib_getSymbol(handle, "get_relocated_dir", status));
  ASSERT_NE(lookup, nullptr);
  char buffer[255];
  EXPECT_EQ(lookup("bindir", buffer, sizeof buffer), 0);
  EXPECT_EQ(status.code, 0);
  EXPECT_EQ(status.text, nullptr);
  EXPECT_EQ(tqdynlib_unload(handle), 0);
  EXPECT_EQ(dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr) << "still loaded";
}

TEST(Dynload, NothingIsLoadedAfterAnError) {
  const std::string path = fakeLibrary("relocates_state");
  tqerr::JsonStatus status;
  status.code = -52000;
  EXPECT_EQ(tqdynlib_load(path.c_str(), RTLD_NOW, status), nullptr);
  EXPECT_EQ(status.code, -52000);
  EXPECT_EQ(status.text, nullptr);
  EXPECT_EQ(dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr);
}

}  // namespace
