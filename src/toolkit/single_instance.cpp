// SPDX-License-Identifier: MIT
#include "toolkit/single_instance.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QSaveFile>
#include <QThread>

#include "toolkit/path_text.h"
#include "toolkit/platform_internal.h"

namespace Toolkit {
namespace {

// How often the owner looks for requests, and a waiting start for its answer.
constexpr std::chrono::milliseconds kOwnerPoll{100};
constexpr unsigned long kWaiterPollMilliseconds = 50;
constexpr char kRequestPrefix[] = "request-";
constexpr char kAnswerPrefix[] = "answer-";

QString MailboxFor(const std::string& key, const std::string& folder) {
  QString base = folder.empty() ? Internal::RuntimeFolder() : PathToText(folder);
  if (base.isEmpty()) base = QDir::tempPath();
  const QByteArray hash =
      QCryptographicHash::hash(QByteArray::fromStdString(key), QCryptographicHash::Sha256).toHex();
  return base + QStringLiteral("/mervane-") + QString::fromLatin1(hash.left(16)) + QLatin1Char('/');
}

// Writes `text` to `path` whole or not at all, so that a reader never sees
// half of it.
bool WriteWhole(const QString& path, const std::string& text) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  file.write(text.data(), static_cast<qint64>(text.size()));
  return file.commit();
}

std::optional<std::string> ReadAndRemove(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  const QByteArray text = file.readAll();
  file.close();
  file.remove();
  return text.toStdString();
}

}  // namespace

SingleInstance::SingleInstance(const std::string& key, const std::string& folder)
    : mailbox_(PathFromText(MailboxFor(key, folder))) {
  const QString mailbox = PathToText(mailbox_);
  QDir().mkpath(mailbox);
  auto lock = std::make_unique<QLockFile>(mailbox + QStringLiteral("owner.lock"));
  // Held as long as its owner lives, however long that is; a lock whose
  // process has gone is taken over.
  lock->setStaleLockTime(0);
  if (lock->tryLock(0)) lock_ = std::move(lock);
}

SingleInstance::~SingleInstance() {
  if (!lock_) return;
  lock_.reset();  // removes the lock file
  // The mailbox goes too once nothing is left in it; a start that has just
  // written a request keeps it, and gets no answer.
  QDir().rmdir(PathToText(mailbox_));
}

std::optional<std::string> SingleInstance::HandOver(const std::string& request,
                                                    std::chrono::milliseconds patience) {
  const QString mailbox = PathToText(mailbox_);
  const QString name = QString::number(QCoreApplication::applicationPid());
  QFile::remove(mailbox + kAnswerPrefix + name);
  if (!WriteWhole(mailbox + kRequestPrefix + name, request)) return std::nullopt;
  const auto deadline = std::chrono::steady_clock::now() + patience;
  while (std::chrono::steady_clock::now() < deadline) {
    if (auto answer = ReadAndRemove(mailbox + kAnswerPrefix + name)) return answer;
    QThread::msleep(kWaiterPollMilliseconds);
  }
  // Unanswered: taken back, so that a late owner does not act on it.
  QFile::remove(mailbox + kRequestPrefix + name);
  return std::nullopt;
}

void SingleInstance::Listen(Answer answer) {
  answer_ = std::move(answer);
  connect(&poll_, &QTimer::timeout, this, &SingleInstance::AnswerWaiting);
  poll_.start(kOwnerPoll);
}

void SingleInstance::AnswerWaiting() {
  const QString mailbox = PathToText(mailbox_);
  const QStringList requests =
      QDir(mailbox).entryList({QString::fromLatin1(kRequestPrefix) + QLatin1Char('*')}, QDir::Files,
                              QDir::Time | QDir::Reversed);
  for (const QString& request : requests) {
    const std::optional<std::string> text = ReadAndRemove(mailbox + request);
    if (!text) continue;
    const QString sender = request.mid(static_cast<qsizetype>(sizeof kRequestPrefix - 1));
    // The answer may run events: the next poll waits until it returns.
    poll_.stop();
    const std::string reply = answer_(*text);
    poll_.start(kOwnerPoll);
    WriteWhole(mailbox + kAnswerPrefix + sender, reply);
  }
}

}  // namespace Toolkit
