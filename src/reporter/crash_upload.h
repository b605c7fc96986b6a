#pragma once
#include <QByteArray>
#include <QString>

// Sending a crash report to Korvane's makers: one HTTPS POST of the report's raw bytes.
namespace CrashUpload {

// Where reports go; KORVANE_CRASH_URL, when set, replaces the whole address.
QByteArray Url();

// "Korvane v-2-5-5" for version 2.5.5.
QByteArray UserAgent();

// Posts the file's bytes to Url() over HTTPS with the system's proxy settings, without
// reading the answer. False when the file cannot be read or the exchange fails; nothing
// is printed either way.
bool Send(const QString& reportPath);

}  // namespace CrashUpload
