// What a decoder's header check says about a file must agree with its decode:
// a header it refuses, the decode refuses with the same message; the start of
// the file passes, asks for more, or already fails that way. Anything else
// aborts, for the fuzzer to keep.
#pragma once

#include <cstdlib>
#include <optional>
#include <string_view>

#include "toolkit/SysUtils.h"

// `check(head, fileSize)` is the header check, `decode(bytes)` the decode.
template <typename TCheck, typename TDecode>
void ExpectHeaderAgreement(std::string_view bytes, TCheck check, TDecode decode) {
  auto refusal = [](auto&& call) -> std::optional<String> {
    try {
      call();
    } catch (const Exception& e) {
      return e.Message();
    }
    return std::nullopt;
  };
  const std::optional<String> decoded = refusal([&] { decode(bytes); });
  const std::optional<String> whole = refusal([&] {
    if (!check(bytes, bytes.size())) std::abort();  // the whole file never asks for more
  });
  if (whole && whole != decoded) std::abort();
  const std::optional<String> head = refusal([&] { check(bytes.substr(0, bytes.size() / 2), bytes.size()); });
  if (head && head != decoded) std::abort();
}
