#include <gtest/gtest.h>

#include "net/base64.h"

namespace {

TEST(Base64Encoder, EncodesGroupsAndPadding) {
  const struct {
    QByteArray input;
    QByteArray encoded;
  } cases[] = {
      {"", ""},
      {"a", "YQ=="},
      {"ab", "YWI="},
      {"abc", "YWJj"},
      {"abcd", "YWJjZA=="},
      {QByteArray("\x00\xff\xfe", 3), "AP/+"},
      {"alice:secret", "YWxpY2U6c2VjcmV0"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Base64Encoder::Encode(c.input), c.encoded) << c.input.toHex().constData();
    EXPECT_EQ(Base64Encoder::EncodeLine(c.input), c.encoded);
    QByteArray raw(Base64Encoder::EncodedSize(c.input.size()), 'x');
    EXPECT_EQ(Base64Encoder::Encode(reinterpret_cast<const unsigned char*>(c.input.constData()),
                                    c.input.size(), raw.data()),
              1);
    EXPECT_EQ(QByteArray(raw.constData()), c.encoded) << "NUL-terminated form";
  }
}

TEST(Base64Encoder, BreaksTheLineOnceAtColumn72AndHeadersStayUnbroken) {
  // 54 bytes make exactly 72 characters; the break after them counts toward the column,
  // so later groups never land on a multiple of 72 again.
  const QByteArray input(200, 'k');
  const QByteArray broken = Base64Encoder::Encode(input);
  const QByteArray line = Base64Encoder::EncodeLine(input);
  EXPECT_EQ(line, input.toBase64());
  EXPECT_FALSE(line.contains('\r'));
  EXPECT_EQ(broken.indexOf("\r\n"), 72);
  EXPECT_EQ(broken.count("\r\n"), 1);
  EXPECT_EQ(QByteArray(broken).replace("\r\n", ""), line);

  QByteArray exact(54, 'k');
  EXPECT_TRUE(Base64Encoder::Encode(exact).endsWith("\r\n"));
  EXPECT_LE(Base64Encoder::Encode(input).size() + 1, Base64Encoder::EncodedSize(input.size()));
}

}  // namespace
