#pragma once
#include <QByteArray>

// Base64 with the standard alphabet and "=" padding. The encoder breaks its output with
// CR LF after every 72 characters; Basic credentials use the unbroken form.
class Base64Encoder {
 public:
  // Writes the encoding of length bytes of input, NUL-terminated, into output, which must
  // hold EncodedSize(length) bytes. Returns 1.
  static int Encode(const unsigned char* input, int length, char* output);
  static int EncodedSize(int length);

  static QByteArray Encode(const QByteArray& input);
  // One unbroken line, for HTTP headers.
  static QByteArray EncodeLine(const QByteArray& input);
};
