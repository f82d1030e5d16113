#pragma once

#include <unicode/ucnv.h>

#include <memory>

namespace koron {

struct ConverterCloser {
  void operator()(UConverter* converter) const noexcept { ucnv_close(converter); }
};

// An ICU converter that closes itself, on every path out of its scope.
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

// ICU's converter called `name`; null, with `*error` set, when it cannot be opened.
inline Converter OpenConverter(const char* name, UErrorCode* error) noexcept {
  return Converter(ucnv_open(name, error));
}

}  // namespace koron
