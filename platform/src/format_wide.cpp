#include <cstdarg>
#include <string>

#include "platform/cestring.h"

// The wsprintfW subset the system formats names with. Length modifiers 'l' and 'h'
// are accepted and ignored: on Windows a long is 32 bits, so "%ld" takes an int.

namespace {

class WideWriter {
 public:
  WideWriter(LPWSTR buffer, size_t capacity) : buffer_(buffer), limit_(capacity - 1) {}

  void Put(char16_t c) {
    if (written_ < limit_) buffer_[written_++] = c;
  }
  void Put(std::u16string_view text) {
    for (char16_t c : text) Put(c);
  }
  // Right-aligns `text` in `width` characters, padded with `pad`.
  void PutPadded(std::u16string_view text, size_t width, char16_t pad) {
    for (size_t i = text.size(); i < width; ++i) Put(pad);
    Put(text);
  }
  int Finish() {
    buffer_[written_] = u'\0';
    return static_cast<int>(written_);
  }

 private:
  LPWSTR buffer_;
  size_t limit_;
  size_t written_ = 0;
};

std::u16string Digits(unsigned long long value, unsigned base, bool upper) {
  const char* symbols = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  std::u16string digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(symbols[value % base]));
    value /= base;
  } while (value != 0);
  return digits;
}

// A signed number: the sign goes before any zero padding ("-0042").
void PutSigned(WideWriter& out, int value, size_t width, char16_t pad) {
  const bool negative = value < 0;
  const auto magnitude = negative ? 0ULL - static_cast<unsigned long long>(static_cast<long long>(value))
                                  : static_cast<unsigned long long>(value);
  std::u16string digits = Digits(magnitude, 10, false);
  if (!negative) {
    out.PutPadded(digits, width, pad);
  } else if (pad == u'0') {
    out.Put(u'-');
    out.PutPadded(digits, width > 0 ? width - 1 : 0, pad);
  } else {
    out.PutPadded(u"-" + digits, width, pad);
  }
}

}  // namespace

int FormatWide(LPWSTR buffer, size_t capacity, LPCWSTR format, ...) {
  if (buffer == nullptr || capacity == 0) return 0;
  WideWriter out(buffer, capacity);
  if (format == nullptr) return out.Finish();
  va_list arguments;
  va_start(arguments, format);
  for (LPCWSTR p = format; *p != u'\0'; ++p) {
    if (*p != u'%') {
      out.Put(*p);
      continue;
    }
    const LPCWSTR start = p++;
    const char16_t pad = *p == u'0' ? u'0' : u' ';
    size_t width = 0;
    for (; *p >= u'0' && *p <= u'9'; ++p) width = width * 10 + static_cast<size_t>(*p - u'0');
    while (*p == u'l' || *p == u'h') ++p;
    switch (*p) {
      case u'd':
      case u'i': PutSigned(out, va_arg(arguments, int), width, pad); break;
      case u'u': out.PutPadded(Digits(va_arg(arguments, unsigned), 10, false), width, pad); break;
      case u'x':
      case u'X': out.PutPadded(Digits(va_arg(arguments, unsigned), 16, *p == u'X'), width, pad); break;
      case u'c': out.PutPadded(std::u16string(1, static_cast<char16_t>(va_arg(arguments, int))), width, u' '); break;
      case u's': {
        const auto* text = va_arg(arguments, LPCWSTR);
        out.PutPadded(text != nullptr ? std::u16string_view(text) : u"(null)", width, u' ');
        break;
      }
      case u'S': {
        const auto* text = va_arg(arguments, const char*);
        out.PutPadded(text != nullptr ? Utf8ToUtf16(text) : u"(null)", width, u' ');
        break;
      }
      case u'%': out.Put(u'%'); break;
      default:  // not a conversion of the subset: copied as it stands
        out.Put(std::u16string_view(start, static_cast<size_t>(p - start) + (*p != u'\0' ? 1 : 0)));
        if (*p == u'\0') --p;
        break;
    }
  }
  va_end(arguments);
  return out.Finish();
}
