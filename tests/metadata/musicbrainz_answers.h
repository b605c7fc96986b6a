#pragma once
// Answers of MusicBrainz's web service (ws/2, fmt=json) and a cover image, shaped as the
// service documents them, for the tests' own loopback server.
#include <QBuffer>
#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QString>

namespace MbAnswer {

struct Credited {
  QString name;
  QString id;
  QString joinPhrase = {};
};

inline QJsonArray Credit(const QList<Credited>& parts) {
  QJsonArray credit;
  for (const Credited& part : parts) {
    credit.append(QJsonObject{
        {"name", part.name},
        {"joinphrase", part.joinPhrase},
        {"artist", QJsonObject{{"id", part.id}, {"name", part.name}, {"sort-name", part.name}}}});
  }
  return credit;
}

// A track; its own artist credit only when given (else the recording's is the release's).
inline QJsonObject Track(int position, const QString& title, const QString& trackId,
                         const QString& recordingId, const QJsonArray& credit = {}) {
  QJsonObject recording{{"id", recordingId}, {"title", title}, {"length", 180000}};
  QJsonObject track{{"id", trackId},  {"position", position}, {"number", QString::number(position)},
                    {"title", title}, {"length", 180000},     {"recording", recording}};
  if (!credit.isEmpty()) track["artist-credit"] = credit;
  return track;
}

inline QJsonObject Medium(int position, const QString& format, const QStringList& discIds,
                          const QJsonArray& tracks) {
  QJsonArray discs;
  for (const QString& id : discIds) discs.append(QJsonObject{{"id", id}, {"sectors", 60000}});
  return {{"position", position},         {"format", format}, {"title", ""}, {"discs", discs},
          {"track-count", tracks.size()}, {"tracks", tracks}};
}

struct ReleaseFacts {
  QString id;
  QString title;
  QJsonArray credit;
  QString date;
  QString country;
  QString label;
  QString catalogNumber;
  QString barcode;
  QString releaseGroupId;
  QJsonArray genres;  // {"name", "count"}
  QJsonArray media;
};

inline QJsonObject Release(const ReleaseFacts& f) {
  return {{"id", f.id},
          {"title", f.title},
          {"status", "Official"},
          {"artist-credit", f.credit},
          {"date", f.date},
          {"country", f.country},
          {"barcode", f.barcode},
          {"label-info", QJsonArray{QJsonObject{
                             {"catalog-number", f.catalogNumber},
                             {"label", QJsonObject{{"id", "0e1b5e2c-7b1d-4c3e-a1a5-6a0d6d1ad000"},
                                                   {"name", f.label}}}}}},
          {"release-group",
           QJsonObject{{"id", f.releaseGroupId}, {"title", f.title}, {"primary-type", "Album"}}},
          {"genres", f.genres},
          {"media", f.media}};
}

inline QByteArray DiscAnswer(const QString& discId, const QJsonArray& releases) {
  return QJsonDocument(
             QJsonObject{
                 {"id", discId}, {"sectors", 60000}, {"offset-count", 3}, {"releases", releases}})
      .toJson();
}

inline QJsonObject Genre(const QString& name, int count) {
  return {{"name", name}, {"count", count}};
}

// The smallest images of each kind Korvane accepts: the signature and a few bytes.
inline QByteArray JpegImage() { return QByteArray("\xFF\xD8\xFF\xE0", 4) + QByteArray(60, 'j'); }
inline QByteArray PngImage() { return QByteArray("\x89PNG\r\n\x1A\n", 8) + QByteArray(60, 'p'); }

}  // namespace MbAnswer
