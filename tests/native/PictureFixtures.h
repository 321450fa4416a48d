// The picture files under tests/fixtures/pictures, read whole.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

inline std::string ReadFixture(const std::string& name) {
  const auto path = std::filesystem::path(__FILE__).parent_path() / "../fixtures/pictures" / name;
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("missing fixture " + path.string());
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
