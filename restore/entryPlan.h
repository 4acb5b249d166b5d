// One "PortSetting" entry as restore treats it, in two steps: planEntry does
// everything up to the write (key, property, device lookup, opening the
// device, the size query, the value conversion) and keeps what it found or
// the failure that ended it; writeEntryPlan then sends the one write, or
// throws that failure. Restore runs both for every entry, in file order, so
// its requests are exactly those of a plan and its write; a checker plans
// only. The size query is the one request a plan sends, and it reads.
//
// planEntryOffline asks no driver: it runs the key grammar, the property
// table and the value conversion for a size the caller names (by default
// the property's usual size), so that every entry of a file can be judged.
//
// A plan never throws for a failing entry: the failure is kept as a value
// (restore/failure.h: the code and report line restore would write, and the
// entry's line when the caller names it), with the step it came from. Only
// std::bad_alloc leaves planEntry.
#ifndef RESTORE_ENTRYPLAN_H_
#define RESTORE_ENTRYPLAN_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "device/tInterfaceProxy_ae.h"
#include "restore/failure.h"
#include "settings/settingKey.h"

namespace nTQVLKAET100 {

// Where a plan stopped; the steps in the order restore takes them.
enum class tPlanStep {
  kKey,        // "Invalid token found in settings INI."
  kProperty,   // property word not in the table: "map::at"
  kLookup,     // the device search failed (tqerr::Exception)
  kOpen,       // the device node could not be opened (tqerr::Exception)
  kSizeQuery,  // the driver refused the size query (tqerr::Exception)
  kSize,       // a size other than 1 or 4: "The property size is incorrect. ..."
  kValue,      // the value does not convert for the size (the conversion error)
  kAbsent,     // no device has the serial: restore skips the entry
  kReady,      // nothing failed: the write would be sent
};

struct tEntryPlan {
  std::string key;              // as in the file
  unsigned long line = 0;       // the entry's line in the file; 0: not known
  std::string value;            // as restore converts it: the file's text without double quotes
  tSettingKey parsed{0, 0, 0};  // valid once the key and property passed
  std::string devicePath;       // the device node; empty when none has the serial
  std::uint32_t size = 0;       // from the size query (or the offline size)
  unsigned char bytes[4] = {0, 0, 0, 0};   // the first size bytes would be written
  tPlanStep step = tPlanStep::kKey;        // kReady, kAbsent, or the step that failed
  std::optional<tRestoreFailure> failure;  // what restore would report; none when ready
  // The opened device of a live plan that is ready, held for the write.
  std::unique_ptr<tInterfaceProxy_ae> device;
  // The device in a read-only pass's view (restore/benchView.h), which holds
  // it open; -1 when none.
  std::size_t deviceIndex = static_cast<std::size_t>(-1);

  bool failed() const { return failure.has_value(); }
};

// Plans the entry against the driver (device lookup, open, size query).
// rawValue is the value as the INI reader gives it, quotes and all; line is
// the entry's line, kept in the failure (0 when the caller does not know it).
tEntryPlan planEntry(const std::string& key, const std::string& rawValue, unsigned long line = 0);

// Plans the entry without a driver, for the given size.
tEntryPlan planEntryOffline(const std::string& key, const std::string& rawValue, std::uint32_t size,
                            unsigned long line = 0);
// The same for the property's usual size (device/aeProperties.h); an entry
// whose key or property fails stops there.
tEntryPlan planEntryOffline(const std::string& key, const std::string& rawValue);

// The first and the last steps alone, for a planner that asks the driver its
// own way (restore/benchView.h). planEntryKey: the key and the property;
// false (the plan failed) when either fails. planEntryValue: the conversion
// for plan.size; the plan is then ready or failed.
bool planEntryKey(tEntryPlan& plan, const std::string& key, const std::string& rawValue,
                  unsigned long line);
void planEntryValue(tEntryPlan& plan);

// Sends the planned write and closes the device. Returns the plan's failure,
// or the write's; nothing when the write was sent or the entry is skipped.
std::optional<tRestoreFailure> writeEntryPlan(tEntryPlan& plan);

}  // namespace nTQVLKAET100

#endif  // RESTORE_ENTRYPLAN_H_
