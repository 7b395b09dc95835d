// Replays saved inputs through a fuzz harness: the entry point of a harness built without
// libFuzzer, so the normal test run feeds every seed and every past crash to it.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

std::vector<std::uint8_t> ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

// Arguments: files, or folders whose files are replayed in name order. A crash or a sanitizer
// report ends the run; the input being replayed is named first, so the failing one is known.
int main(int argc, char** argv) {
  // Listed before the harness initialises: it may change the working folder.
  std::vector<std::filesystem::path> inputs;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path path = std::filesystem::absolute(argv[i]);
    if (std::filesystem::is_directory(path)) {
      for (const auto& entry : std::filesystem::directory_iterator(path))
        if (entry.is_regular_file()) inputs.push_back(entry.path());
    } else {
      inputs.push_back(path);
    }
  }
  // An empty corpus would pass without testing anything: a moved or misnamed folder must fail.
  if (inputs.empty()) {
    std::fprintf(stderr, "no inputs to replay\n");
    return 1;
  }
  std::sort(inputs.begin(), inputs.end());
  if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
  for (const std::filesystem::path& path : inputs) {
    std::fprintf(stderr, "replaying %s\n", path.c_str());
    // An allocation of exactly the input's size, so that reading past its end is caught.
    const std::vector<std::uint8_t> data = ReadAll(path);
    LLVMFuzzerTestOneInput(data.data(), data.size());
  }
  std::printf("%zu inputs replayed\n", inputs.size());
  return 0;
}
