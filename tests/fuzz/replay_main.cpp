// The main of a fuzz target where libFuzzer is missing: feeds each file named on the command
// line, and each file of each folder named there, to the target once, then a few inputs of
// its own (empty, all zeros, all ones), so a target without seeds is run too. Arguments that
// begin with "-" are libFuzzer options and are ignored, so one command line serves both.
// A finding aborts (sanitizer report or failed check); otherwise the exit code is 0.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

void Feed(const std::vector<std::uint8_t>& input) {
  // A copy of exactly the input's size, so a read past its end is caught by the sanitizers.
  auto* copy = new std::uint8_t[std::max<std::size_t>(input.size(), 1)];
  std::copy(input.begin(), input.end(), copy);
  LLVMFuzzerTestOneInput(copy, input.size());
  delete[] copy;
}

bool FeedFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::fprintf(stderr, "cannot read %s\n", file.c_str()), false;
  std::fprintf(stderr, "%s\n", file.c_str());  // a crash names its input last
  Feed({std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()});
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::filesystem::path> inputs;
  for (int i = 1; i < argc; ++i) {
    if (argv[i][0] == '-') continue;
    if (!std::filesystem::is_directory(argv[i])) {
      inputs.emplace_back(argv[i]);
      continue;
    }
    const std::size_t first = inputs.size();
    for (const auto& entry : std::filesystem::directory_iterator(argv[i]))
      if (entry.is_regular_file()) inputs.push_back(entry.path());
    std::sort(inputs.begin() + static_cast<std::ptrdiff_t>(first), inputs.end());
  }
  bool ok = true;
  for (const auto& file : inputs) ok = FeedFile(file) && ok;
  for (const std::size_t size : {0, 512, 4096}) {
    Feed(std::vector<std::uint8_t>(size, 0));
    Feed(std::vector<std::uint8_t>(size, 0xFF));
  }
  std::printf("%zu files replayed\n", inputs.size());
  return ok ? 0 : 1;
}
