// A server's answer, framed by the answer reader from pieces of arbitrary size and handed
// to the query answer handling. The first byte sets the size of the pieces.
#include <QCoreApplication>
#include <cstddef>
#include <cstdint>

#include "metadata/cddb_protocol.h"
#include "metadata/disc_info.h"
#include "metadata/freedb_client.h"
#include "platform/codepage.h"

namespace {

class OfflineClient : public FreeDbClient {
 protected:
  bool Setup() override { return true; }
  bool Connect() override { return true; }
  void ReadEntry() override {}
};

// The client's lookup timer needs the event loop's thread to start on.
void EnsureApplication() {
  static int argc = 1;
  static char name[] = "freedb_answer";
  static char* argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  EnsureApplication();
  const size_t piece = data[0] % 16 + 1;
  Cddb::AnswerReader reader;
  QByteArray answer;
  for (size_t at = 1; at < size && answer.isEmpty(); at += piece) {
    reader.Append(reinterpret_cast<const char*>(data + at),
                  static_cast<qsizetype>(std::min(piece, size - at)));
    if (reader.Complete()) answer = reader.Take();
  }
  if (!answer.isEmpty() && !answer.endsWith('\n'))
    __builtin_trap();  // an answer ends at a line end
  if (Cddb::AnswerCode(answer) == 210 && Cddb::EntryFault(answer).contains(QLatin1String("\".\"")))
    __builtin_trap();  // the reader hands on a multi-line answer only with its closing line

  DiscInfo info;
  info.ResetToDefaults(2);
  TocAddresses toc;
  toc.trackStarts = {{0, 2, 0}, {3, 30, 0}};
  toc.leadOut = {7, 0, 0};
  OfflineClient client;
  client.SetTextSource([](int id) { return QString::number(id); });
  client.Run(&info, toc);
  const QByteArray response(reinterpret_cast<const char*>(data + 1),
                            static_cast<qsizetype>(size - 1));
  const bool matched =
      client.HandleQueryResponse(Cddb::DecodeAnswer(answer.isEmpty() ? response : answer));
  if (matched == client.Finished())
    __builtin_trap();  // a match goes on, anything else ends the lookup
  return 0;
}
