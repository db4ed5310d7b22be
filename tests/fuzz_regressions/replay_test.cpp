// Replays the inputs kept for one fuzz target (tests/fuzz_regressions/<target>/): the
// ones that once broke the reader or a rule the target checks, and a few well-formed
// files that put the target's checks to real data. A broken rule ends the target; each
// input runs in a child process of its own, so a failure names its file.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::vector<std::filesystem::path> kept_cases() {
  std::vector<std::filesystem::path> out;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(FUZZ_CASES_DIR, ec))
    if (entry.is_regular_file())
      out.push_back(entry.path());
  std::sort(out.begin(), out.end());
  return out;
}

// The target on the file's bytes, in a child; its exit status.
int replay(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  // Exactly the file's size, so a read past the end is caught by the sanitizers.
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  fflush(nullptr);
  pid_t child = fork();
  if (child == 0) {
    uint8_t* data = new uint8_t[bytes.size() ? bytes.size() : 1];
    std::copy(bytes.begin(), bytes.end(), data);
    LLVMFuzzerTestOneInput(data, bytes.size());
    delete[] data;
    exit(0);  // through the exit handlers, so the leak checker has its say
  }
  int status = 0;
  waitpid(child, &status, 0);
  return status;
}

}  // namespace

// Named after the target, so ctest tells the replays apart: FuzzReplay.<target>.
TEST(FuzzReplay, FUZZ_TARGET_ID) {
  std::vector<std::filesystem::path> cases = kept_cases();
  if (cases.empty())
    GTEST_SKIP() << "no inputs kept for the fuzz target " << FUZZ_TARGET_NAME;
  for (const auto& file : cases) {
    int status = replay(file);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << FUZZ_TARGET_NAME << " broke on " << file.filename().string() << " (status " << status << ")";
  }
}
