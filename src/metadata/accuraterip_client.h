#pragma once
#include <QString>
#include <atomic>

#include "metadata/accuraterip.h"

// The "AccurateRip" settings: the database's address and whether rips are verified.
struct AccurateRipSettings {
  QString server;
  bool verify = true;

  static AccurateRipSettings Load();
};

// The database's address of a disc's answer: <server>/accuraterip/X/Y/Z/dBAR-<identity>.bin.
QByteArray AccurateRipUrl(const QString& server, const AccurateRipId& disc);

// Asks the database what it knows of a disc, over the platform's HTTP service (its time-outs
// and the system's proxy settings). A disc the database does not hold (404) is an empty,
// usable answer; a server that cannot be reached or gives a broken answer gives an unusable
// one whose error says why. Blocks for at most the network time-outs; abort, when given,
// ends the request early.
AccurateRipAnswer FetchAccurateRip(const QString& server, const AccurateRipId& disc,
                                   const std::atomic<bool>* abort = nullptr);
