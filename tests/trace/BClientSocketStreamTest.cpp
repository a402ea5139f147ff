#include <gtest/gtest.h>

#include "BClientSocketStream.h"
#include "DebugConsole.h"
#include "WaitUntil.h"

TEST(BClientSocketStream, UnconnectedOrUnresolvedStreamDropsWritesAndReceivesNothing) {
  BClientSocketStream s;
  EXPECT_FALSE(s.isConnected());
  EXPECT_FALSE(s.send("lost"));
  s << "lost" << 12 << 'c';
  std::string text = "kept";
  EXPECT_EQ(s.recv(text), 0);
  EXPECT_EQ(text, "kept");
  EXPECT_TRUE(s.disconnect());
  // A name that does not resolve (or none) leaves the stream closed, never
  // aimed at another address.
  for (const char* bad : {"no-such-host.invalid", ""}) {
    EXPECT_FALSE(s.connect(bad, 9)) << bad;
    EXPECT_FALSE(s.isConnected()) << bad;
  }
}

// By host name; the operators send their text at once, input arrives at most
// 500 bytes per call.
TEST(BClientSocketStream, OperatorsSendAtOnceAndInputArrivesInPieces) {
  DebugConsole console;
  BClientSocketStream s;
  EXPECT_TRUE(s.connect("localhost", console.port()));
  ASSERT_TRUE(console.connected());
  s << std::string("s:") << "c:" << 'x' << static_cast<unsigned char>('y') << ' ' << static_cast<short>(-5) << ' '
    << static_cast<unsigned short>(65535) << ' ' << -42 << ' ' << 3000000000u << ' ' << -7L << ' ' << 8UL << ' '
    << reinterpret_cast<const void*>(0x1234) << "\n";
  ASSERT_TRUE(waitUntil([&] { return console.has("\n"); }, 10000));
  EXPECT_EQ(console.text(), "s:c:xy -5 65535 -42 3000000000 -7 8 0x1234\n");
  std::string data;
  for (int i = 0; i < 1200; ++i) data += char('a' + i % 26);
  ASSERT_TRUE(console.send(data));
  std::string all, chunk = "old";
  std::vector<int> sizes;
  waitUntil([&] {
    int n = s.recv(chunk);
    if (n > 0) {
      sizes.push_back(n);
      EXPECT_EQ(chunk.size(), size_t(n));
      all += chunk;
    }
    return all.size() >= data.size();
  }, 10000, 2);
  EXPECT_EQ(all, data);
  ASSERT_GE(sizes.size(), 3u);
  for (int n : sizes) EXPECT_LE(n, 500);
  EXPECT_EQ(s.recv(chunk), 0);  // nothing waiting
  EXPECT_EQ(chunk, "");
  console.hangUp();  // the peer goes away: still 0, and writes never raise SIGPIPE
  EXPECT_EQ(s.recv(chunk), 0);
  for (int i = 0; i < 3; ++i) s << "into the void\n";
  EXPECT_TRUE(s.disconnect());
  EXPECT_FALSE(s.send("after"));
}
