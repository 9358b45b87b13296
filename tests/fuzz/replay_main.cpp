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
#include <string>
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
  int files = 0;
  bool ok = true;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.starts_with("-")) continue;
    if (!std::filesystem::is_directory(arg)) {
      ok = FeedFile(arg) && ok;
      ++files;
      continue;
    }
    std::vector<std::filesystem::path> inside;
    for (const auto& entry : std::filesystem::directory_iterator(arg))
      if (entry.is_regular_file()) inside.push_back(entry.path());
    std::sort(inside.begin(), inside.end());
    for (const auto& file : inside) ok = FeedFile(file) && ok, ++files;
  }
  for (const std::size_t size : {0, 512, 4096}) {
    Feed(std::vector<std::uint8_t>(size, 0));
    Feed(std::vector<std::uint8_t>(size, 0xFF));
  }
  std::printf("%d files replayed\n", files);
  return ok ? 0 : 1;
}
