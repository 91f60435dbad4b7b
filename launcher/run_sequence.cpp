#include "launcher/run_sequence.h"

#include <cstdio>
#include <new>

#include "launcher/work_folder.h"
#include "payload/resource_registry.h"
#include "platform/backtrace.h"
#include "platform/errors.h"
#include "platform/failure_box.h"
#include "platform/filesystem.h"
#include "platform/platform.h"
#include "platform/process.h"

namespace orvane {

namespace {

// Removes the work folder when the protected block is left, however it is
// left, unless another launcher still uses it: each launcher holds the run
// lock shared, and only the one that can take it exclusively at its end (the
// last one out) removes the folder. Without a lock file, there is nobody to
// coordinate with, and the folder goes.
class WorkFolderRemoval {
 public:
  WorkFolderRemoval(const std::string& work_folder, platform::LockFile& run_lock)
      : work_folder_(work_folder), run_lock_(run_lock) {}
  ~WorkFolderRemoval() {
    if (run_lock_.IsOpen()) {
      run_lock_.Unlock();
      if (!run_lock_.Lock(true, false)) {
        run_lock_.Close();
        return;
      }
      // On Windows an open file resists deletion: the lock is let go just
      // before the removal.
      run_lock_.Close();
    }
    platform::RemoveFolderTree(work_folder_, false);
  }
  WorkFolderRemoval(const WorkFolderRemoval&) = delete;
  WorkFolderRemoval& operator=(const WorkFolderRemoval&) = delete;

 private:
  const std::string& work_folder_;
  platform::LockFile& run_lock_;
};

// Copies a result into the launcher folder under a temporary name and puts it
// in place in one step, so that the user's file is always either the old one
// or the complete new one.
void CopyResultOut(const std::string& source, const std::string& target) {
  const std::string pending = target + ".new";
  try {
    platform::CopyFileData(source, pending, platform::kCopyOverwrite);
    platform::FlushFileToDisk(pending);
    if (!platform::ReplaceFile(pending, target)) {
      throw EFCreateError(Format("Unable to create file \"%s\"", {target}));
    }
  } catch (...) {
    platform::RemoveFile(pending);
    throw;
  }
}

// Probes for the unpacked application and sets the work folder up when
// needed, while no other launcher is doing the same.
std::string PrepareWorkFolder(const std::string& launcher_folder, const std::string& work_folder) {
  platform::LockFile set_up_lock(work_folder + names::kSetUpLock);
  set_up_lock.Lock(true, true);
  if (InnerApplicationUnpacked(work_folder)) return {};
  return SetUpWorkFolder(launcher_folder, work_folder);
}

void LaunchInnerApplication(const std::string& work_folder, const std::string& argument) {
  platform::TProcess process;
  process.Parameters.push_back(argument);
  process.Executable = "\"" + work_folder + names::kInnerExecutable + "\"";
  process.AddOption(platform::TProcessOption::poWaitOnExit);
  process.Execute();
}

std::string AddressText(std::uintptr_t address) {
  char text[32];
  std::snprintf(text, sizeof text, "$%08llX",
                static_cast<unsigned long long>(platform::ImageOffset(address)));
  return text;
}

}  // namespace

void RunSequence() {
  const std::string launcher_folder = platform::CurrentFolder() + "\\";
  const std::string work_folder = platform::TempFolder() + "\\orvane42\\";
  // The work folder lies where other users may write: it must be ours before
  // anything in it is trusted or removed.
  platform::SecureWorkFolder(work_folder);

  platform::LockFile run_lock(work_folder + names::kRunLock);
  run_lock.Lock(false, true);
  WorkFolderRemoval removal(work_folder, run_lock);

  const std::string argument = PrepareWorkFolder(launcher_folder, work_folder);
  LaunchInnerApplication(work_folder, argument);
  if (platform::FileIsPresent(work_folder + names::kTranslations)) {
    CopyResultOut(work_folder + names::kTranslations, launcher_folder + names::kTranslations);
  }
  ReturnDictionary(launcher_folder, work_folder);
}

std::string UnhandledFailureText(const std::exception_ptr& failure) {
  std::string class_name = "Exception";
  std::string message;
  std::vector<std::uintptr_t> frames;
  try {
    std::rethrow_exception(failure);
  } catch (const Exception& e) {
    class_name = e.ClassName();
    message = e.Message();
    frames = e.Frames();
  } catch (const std::bad_alloc&) {
    class_name = "EOutOfMemory";
    message = "Out of memory";
  } catch (const std::exception& e) {
    message = e.what();
  } catch (...) {
    message = "Unknown failure";
  }
  if (frames.empty()) frames = platform::CaptureBacktrace();
  std::string text = "An unhandled exception occurred at ";
  text += frames.empty() ? "$00000000" : AddressText(frames.front());
  text += " :\n" + class_name + " : " + message + "\n";
  for (const std::uintptr_t frame : frames) text += "  " + AddressText(frame) + "\n";
  text += "\n";
  return text;
}

int RunLauncherProgram() {
  platform::FailureBox box;
  int exit_code = kExitSuccess;
  try {
    RunSequence();
  } catch (...) {
    box.Write(UnhandledFailureText(std::current_exception()));
    exit_code = kExitFailure;
  }
  DestroyResourceRegistry();
  box.Flush();
  return exit_code;
}

}  // namespace orvane
