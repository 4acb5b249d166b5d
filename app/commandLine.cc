#include "app/commandLine.h"

#include <boost/program_options.hpp>
#include <exception>
#include <stdexcept>

#include "app/exitStatus.h"
#include "error/Exception.h"
#include "restore/failure.h"
#include "restore/reports.h"

namespace nTQVLKAET100 {

namespace po = boost::program_options;

namespace {

// Writes the option description followed by one empty line.
void writeDescription(std::ostream& stream, const po::options_description& description) {
  stream << description << "\n";
}

void writeParseError(std::ostream& err, const po::options_description& description,
                     const std::exception& error) {
  err << "Parse error: " << error.what() << std::endl;
  writeDescription(err, description);
}

int parseAndRun(int argc, const char* const argv[], std::ostream& out, std::ostream& err,
                const RestoreAction& restore) {
  po::options_description description;
  description.add_options()("help,h", "produce help message")(
      "restore,r", "write stored settings to the kernel");

  po::variables_map options;
  try {
    po::store(po::parse_command_line(argc, argv, description), options);
  } catch (const po::error& error) {
    // An unknown option, or a value given to a switch: the same report as a
    // missing --restore.
    writeParseError(err, description, error);
    return kExitFailure;
  }

  if (options.count("help")) {
    writeDescription(out, description);
    return kExitFailure;
  }

  try {
    po::notify(options);
    if (!options.count("restore")) {
      throw std::runtime_error("Required option '--restore' not provided.");
    }
  } catch (const std::exception& error) {
    writeParseError(err, description, error);
    return kExitFailure;
  }

  int exitStatus = kExitFailure;
  runReported(err, [&] {
    const tRestoreRun run = restore();
    if (run.failure) {
      writeFailure(err, *run.failure);
    } else {
      exitStatus = kExitSuccess;
    }
  });
  return exitStatus;
}

}  // namespace

int runOptionMode(int argc, const char* const argv[], std::ostream& out, std::ostream& err,
                  const RestoreAction& restore) {
  // What fails outside the parse reports (no memory for the option
  // description, say) still ends in one report line, not in terminate.
  int exitStatus = kExitFailure;
  if (runReported(err, [&] { exitStatus = parseAndRun(argc, argv, out, err, restore); }) !=
      kExitSuccess) {
    return kExitFailure;
  }
  return exitStatus;
}

}  // namespace nTQVLKAET100
