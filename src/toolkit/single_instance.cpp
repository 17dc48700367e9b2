// SPDX-License-Identifier: MIT
#include "toolkit/single_instance.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QThread>

#include "toolkit/file_ops.h"
#include "toolkit/path_text.h"

namespace Toolkit {
namespace {

// How often the owner looks for requests, and a waiting start for its answer.
constexpr std::chrono::milliseconds kOwnerPoll{100};
constexpr unsigned long kWaiterPollMilliseconds = 50;
// A request is a path, an answer a word: anything longer is no one's.
constexpr std::size_t kLongestMessage = 256 * 1024;
// Tries at taking the lock while a leaving owner removes the mailbox.
constexpr int kLockTries = 3;
constexpr char kMailboxPrefix[] = "mervane-window-";
constexpr char kLockName[] = "owner.lock";
constexpr char kRequestPrefix[] = "request-";
constexpr char kClaimedPrefix[] = "claimed-";
constexpr char kAnswerPrefix[] = "answer-";

std::string MailboxName(const std::string& key) {
  const QByteArray hash =
      QCryptographicHash::hash(QByteArray::fromStdString(key), QCryptographicHash::Sha256).toHex();
  return kMailboxPrefix + hash.left(16).toStdString();
}

// Writes `text` to `path` whole or not at all, so that a reader never sees
// half of it.
bool WriteWhole(const QString& path, const std::string& text) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  file.write(text.data(), static_cast<qint64>(text.size()));
  return file.commit();
}

}  // namespace

SingleInstance::SingleInstance(const std::string& key, const std::string& own_folder) {
  // Always the same folder, whatever the session names: a start from a
  // terminal without a runtime folder must find the lock a start from the
  // desktop took.
  try {
    RequireOwnFolder(own_folder, true, FolderAccess::kOthersMayRead);
    const std::string mailbox = own_folder + "/" + MailboxName(key);
    for (int attempt = 0; attempt < kLockTries && !lock_; ++attempt) {
      RequireOwnFolder(mailbox, true, FolderAccess::kNobody);
      auto lock = std::make_unique<QLockFile>(PathToText(mailbox + "/" + kLockName));
      // Held as long as its owner lives, however long that is; a lock
      // whose process has gone is taken over.
      lock->setStaleLockTime(0);
      if (lock->tryLock(0)) {
        lock_ = std::move(lock);
      } else if (lock->error() == QLockFile::LockFailedError) {
        break;  // a live owner holds it
      }
      // Else the mailbox went with an owner that just left: make it again.
    }
    mailbox_ = mailbox + "/";
  } catch (const PlatformError& failure) {
    refusal_ = failure;
  }
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
  if (mailbox_.empty()) return std::nullopt;
  const std::string name = std::to_string(QCoreApplication::applicationPid());
  const std::string answer_path = mailbox_ + kAnswerPrefix + name;
  const QString request_path = PathToText(mailbox_ + kRequestPrefix + name);
  QFile::remove(PathToText(answer_path));
  if (!WriteWhole(request_path, request)) return std::nullopt;
  const auto start = std::chrono::steady_clock::now();
  for (;;) {
    if (auto answer = ReadOwnFile(answer_path, kLongestMessage)) {
      QFile::remove(PathToText(answer_path));
      return answer;
    }
    const auto waited = std::chrono::steady_clock::now() - start;
    if (waited >= patience) {
      // Taken back unread: no owner will act on it. Gone: the owner has
      // claimed it, and its answer says what it did.
      if (QFile::remove(request_path) || waited >= 2 * patience) return std::nullopt;
    }
    QThread::msleep(kWaiterPollMilliseconds);
  }
}

void SingleInstance::Listen(Answer answer) {
  answer_ = std::move(answer);
  connect(&poll_, &QTimer::timeout, this, &SingleInstance::AnswerWaiting);
  poll_.start(kOwnerPoll);
}

void SingleInstance::AnswerWaiting() {
  static const QRegularExpression kRequestName(
      QStringLiteral("^%1([0-9]{1,10})$").arg(QString::fromLatin1(kRequestPrefix)));
  const QString mailbox = PathToText(mailbox_);
  const QStringList requests =
      QDir(mailbox).entryList({QString::fromLatin1(kRequestPrefix) + QLatin1Char('*')},
                              QDir::Files | QDir::System, QDir::Time | QDir::Reversed);
  for (const QString& request : requests) {
    const QRegularExpressionMatch match = kRequestName.match(request);
    if (!match.hasMatch()) continue;  // not a request, or one still being written
    const std::string sender = match.captured(1).toStdString();
    // Claimed by renaming, so that the sender taking it back and the owner
    // acting on it never both happen.
    // (QDir's rename, unlike QFile's, never falls back on copying.)
    const std::string claimed = mailbox_ + kClaimedPrefix + sender;
    QFile::remove(PathToText(claimed));
    if (!QDir(mailbox).rename(request, PathToText(claimed))) continue;
    const std::optional<std::string> text = ReadOwnFile(claimed, kLongestMessage);
    QFile::remove(PathToText(claimed));
    if (!text) continue;  // another user's, or no request at all: never acted on
    // The answer may run events: the next poll waits until it returns.
    poll_.stop();
    const std::string reply = answer_(*text);
    poll_.start(kOwnerPoll);
    WriteWhole(PathToText(mailbox_ + kAnswerPrefix + sender), reply);
  }
}

}  // namespace Toolkit
