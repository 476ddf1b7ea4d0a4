#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "module/md5.h"
#include "os/file.h"
#include "tests/support/test_support.h"

namespace {

// The message bytes in an exact-size heap block, so ASan sees a read past its end.
std::unique_ptr<uint8_t[]> ExactCopy(const std::string& bytes) {
  std::unique_ptr<uint8_t[]> block(new uint8_t[bytes.size() + (bytes.empty() ? 1 : 0)]);
  std::memcpy(block.get(), bytes.data(), bytes.size());
  return block;
}

std::string Md5Hex(const std::string& message, size_t piece) {
  const auto block = ExactCopy(message);
  Md5 md5;
  for (size_t at = 0; at < message.size(); at += piece) {
    md5.Update(block.get() + at, std::min(piece, message.size() - at));
  }
  return DigestToUpperHex(md5.Final());
}

// RFC 1321, appendix A.5.
const struct { std::string message; const char* digest; } kRfc1321Suite[] = {
    {"", "D41D8CD98F00B204E9800998ECF8427E"},
    {"a", "0CC175B9C0F1B6A831C399E269772661"},
    {"abc", "900150983CD24FB0D6963F7D28E17F72"},
    {"message digest", "F96B697D7CB7938D525A2F31AAF161D0"},
    {"abcdefghijklmnopqrstuvwxyz", "C3FCD3D76192E4007DFB496CCA67E13B"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "D174AB98D277D9F5A5611C2C9F419D9F"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57EDF4A22BE3C955AC49DA2E2107B67A"},
};

TEST(Md5, Rfc1321TestSuite) {
  for (const auto& c : kRfc1321Suite) {
    EXPECT_EQ(Md5Hex(c.message, c.message.size() + 1), c.digest) << '"' << c.message << '"';
  }
}

TEST(Md5, PiecesOfAnySizeGiveTheSameDigest) {
  for (const auto& c : kRfc1321Suite) {
    for (size_t piece : {1, 3, 7, 63, 64, 65}) {
      EXPECT_EQ(Md5Hex(c.message, piece), c.digest) << '"' << c.message << "\" in pieces of " << piece;
    }
  }
  // Every split of a message longer than one block into two parts.
  const std::string message = kRfc1321Suite[6].message;
  for (size_t split = 0; split <= message.size(); ++split) {
    const auto block = ExactCopy(message);
    Md5 md5;
    md5.Update(block.get(), split);
    md5.Update(block.get() + split, message.size() - split);
    EXPECT_EQ(DigestToUpperHex(md5.Final()), kRfc1321Suite[6].digest) << "split at " << split;
  }
}

TEST(Md5, OneMillionTimesA) {
  EXPECT_EQ(Md5Hex(std::string(1000000, 'a'), 4096), "7707D6AE4E027C70EEA2A935C2296F21");
}

std::string PatternBytes(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 31 + 7) & 0xFF);
  return bytes;
}

TEST(FileMd5UpperHex, FilesAroundThePaddingAndReadBoundaries) {
  // Sizes where the padding needs one block or two (55/56, 119/120), whole
  // blocks, and the edges of the reader's 64 KiB block; then a few MB.
  const struct { size_t size; const char* digest; } cases[] = {
      {0, "D41D8CD98F00B204E9800998ECF8427E"},       {1, "89E74E640B8C46257A29DE0616794D5D"},
      {55, "C9E512626618C9980EF21A96597AF94C"},      {56, "ECDE7CAA08E9F5657C863DF107CAC60A"},
      {57, "B17B1A018DD6A4D1EDDA8ACA15F17846"},      {63, "2F0301069E1C40AF7F6C8F843B1B13F2"},
      {64, "B6BF87C24B1BC334E2541387A92B981B"},      {65, "F168246F08B6134D66BD2A10343FA9F1"},
      {119, "D5DC3D8264DE3AA24DEE105910EE27FE"},     {120, "BCC139B3848923904860D1EEFD6E5923"},
      {127, "27670172396247FA5F68637F13F8933D"},     {128, "3E85B70FFC8DF5C735ECF2A8F14F1BEE"},
      {129, "E45ECAC9930FE93DE302F98BA673BA36"},     {65535, "457C4B265A54D8D085DF00039CBC4B02"},
      {65536, "F19C01FA0371E3C9070B45A85C696C48"},   {65537, "4A350BEC80793CCDB466FB6D631FF062"},
      {3145741, "76FCCC7FD25BE7CB0A98223A27141B83"},
  };
  ScopedTempDir dir;
  ASSERT_TRUE(os::CreateDirectoryOneLevel("Brimstave"));
  for (const auto& c : cases) {
    WriteFileBytes("Brimstave/qStave.des", PatternBytes(c.size));
    EXPECT_EQ(FileMd5UpperHex("Brimstave\\qStave.des"), c.digest) << c.size << " bytes";
  }
}

TEST(FileMd5UpperHex, ThrowsWhenTheFileCannotBeOpened) {
  ScopedTempDir dir;
  ASSERT_TRUE(os::CreateDirectoryOneLevel("Brimstave"));
  EXPECT_THROW(FileMd5UpperHex("Brimstave\\qStave.des"), os::OsError);  // missing
  EXPECT_THROW(FileMd5UpperHex("Brimstave"), os::OsError);              // a directory
}

}  // namespace
