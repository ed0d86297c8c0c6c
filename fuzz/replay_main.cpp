// A fuzz target's entry point run over saved inputs, without libFuzzer: so that the committed
// corpus is replayed by the ordinary test build, with any compiler and any sanitizer.
//   <target>_replay FILE_OR_FOLDER...
// Every file named, and every file in a folder named, in name order. A crash or a failed check
// of the target ends the run; a path that is missing, or nothing to replay, is an error.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

// The files a path names, or nothing with a message when it names none.
bool collect(const fs::path& path, std::vector<fs::path>& files) {
  std::error_code error;
  if (fs::is_directory(path, error)) {
    std::vector<fs::path> found;
    for (const fs::directory_entry& entry : fs::directory_iterator(path, error)) {
      if (entry.is_regular_file(error)) found.push_back(entry.path());
    }
    std::sort(found.begin(), found.end());
    files.insert(files.end(), found.begin(), found.end());
    return !error;
  }
  if (fs::is_regular_file(path, error)) {
    files.push_back(path);
    return true;
  }
  std::fprintf(stderr, "replay: %s is neither a file nor a folder\n", path.string().c_str());
  return false;
}

bool replay(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) {
    std::fprintf(stderr, "replay: cannot read %s\n", file.string().c_str());
    return false;
  }
  LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<fs::path> files;
  for (int i = 1; i < argc; ++i) {
    if (!collect(argv[i], files)) return 1;
  }
  if (files.empty()) {
    std::fprintf(stderr, "replay: no inputs to replay\n");
    return 1;
  }
  for (const fs::path& file : files) {
    if (!replay(file)) return 1;
  }
  std::printf("%zu inputs replayed\n", files.size());
  return 0;
}
