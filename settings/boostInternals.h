// SPDX-License-Identifier: MIT
// The one place where the tool relies on Boost's internals, which a Boost
// release may change without notice:
//
// - Reports of the restore sequence name the dynamic type of the exception
//   that ended it. For the conversion and INI reader errors those names are
//   the long-standing ones of Boost's exception wrapper
//   (clone_impl<error_info_injector<E>>, README "Troubleshooting"); newer
//   Boost releases throw another wrapper type. Re-throwing through
//   throwClassicBoostError keeps the reported type name stable whichever
//   Boost the tool is built with.
// - The line-aware settings reader trims as the INI reader does, with the
//   reader's own trimming routine (iniReaderTrim).
#ifndef SETTINGS_BOOSTINTERNALS_H_
#define SETTINGS_BOOSTINTERNALS_H_

#include <boost/exception/exception.hpp>
#include <boost/property_tree/detail/ptree_utils.hpp>
#include <locale>
#include <string>

namespace nTQVLKAET100 {

template <class E>
[[noreturn]] void throwClassicBoostError(const E& error) {
  using Injected = boost::exception_detail::error_info_injector<E>;
  throw boost::exception_detail::clone_impl<Injected>(Injected(error));
}

// The INI reader's trimming: white space of locale at both ends.
inline std::string iniReaderTrim(const std::string& text, const std::locale& locale) {
  return boost::property_tree::detail::trim(text, locale);
}

}  // namespace nTQVLKAET100

#endif  // SETTINGS_BOOSTINTERNALS_H_
