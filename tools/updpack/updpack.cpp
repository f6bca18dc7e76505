#include "updpack.h"

#include <new>
#include <stdexcept>

#include "platform/exceptions.h"
#include "updpack_commands.h"
#include "updpack_help.h"
#include "updpack_options.h"
#include "vareri_version.h"
#include "writer/pack_error.h"

namespace {

int Usage(std::ostream& err, const std::string& problem) {
  err << "updpack: " << problem << "\n" << kUpdpackSynopsis << "Try 'updpack --help'.\n";
  return 2;
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  UpdpackOptions options;
  std::string problem = ParseUpdpackOptions(args, &options);
  if (options.help) {
    out << kUpdpackSynopsis << kUpdpackDetails;
    return 0;
  }
  if (options.version) {
    out << "updpack " << VARERI_VERSION << "\n";
    return 0;
  }
  if (!problem.empty()) return Usage(err, problem);
  return RunUpdpackCommand(options, out, err);
}

}  // namespace

int RunUpdpack(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  try {
    return Run(args, out, err);
  } catch (const PackError& e) {
    err << "updpack: " << e.what() << "\n";
  } catch (const CException& e) {
    err << "updpack: " << e.what() << "\n";
  } catch (const std::bad_alloc&) {
    err << "updpack: out of memory\n";
  } catch (const std::exception& e) {
    err << "updpack: " << e.what() << "\n";
  }
  return 1;
}
