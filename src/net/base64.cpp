#include "net/base64.h"

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr int kLineLength = 72;

// Encodes into output and returns the number of characters written (no NUL).
int EncodeInto(const unsigned char* in, int length, char* out, bool breakLines) {
  int written = 0;
  for (int i = 0; i < length; i += 3) {
    const int left = length - i;
    const unsigned value =
        (in[i] << 16) | (left > 1 ? in[i + 1] << 8 : 0) | (left > 2 ? in[i + 2] : 0);
    out[written++] = kAlphabet[(value >> 18) & 63];
    out[written++] = kAlphabet[(value >> 12) & 63];
    out[written++] = left > 1 ? kAlphabet[(value >> 6) & 63] : '=';
    out[written++] = left > 2 ? kAlphabet[value & 63] : '=';
    if (breakLines && left > 2 && written % kLineLength == 0) {
      out[written++] = '\r';
      out[written++] = '\n';
    }
  }
  return written;
}

}  // namespace

int Base64Encoder::EncodedSize(int length) {
  const int characters = (length + 2) / 3 * 4;
  return characters + characters / kLineLength * 2 + 1;
}

int Base64Encoder::Encode(const unsigned char* input, int length, char* output) {
  output[EncodeInto(input, length, output, true)] = '\0';
  return 1;
}

QByteArray Base64Encoder::Encode(const QByteArray& input) {
  QByteArray out(EncodedSize(input.size()), '\0');
  out.resize(EncodeInto(reinterpret_cast<const unsigned char*>(input.constData()), input.size(),
                        out.data(), true));
  return out;
}

QByteArray Base64Encoder::EncodeLine(const QByteArray& input) {
  QByteArray out(EncodedSize(input.size()), '\0');
  out.resize(EncodeInto(reinterpret_cast<const unsigned char*>(input.constData()), input.size(),
                        out.data(), false));
  return out;
}
