// SPDX-License-Identifier: MIT
#pragma once

// One running window per key (its work folder): the first start that takes
// the key owns it and answers what later starts hand over to it; a later
// start hands its request over and learns the answer. Only Qt Core and
// files: a lock file (taken over once its owner has died, whatever way)
// and a mailbox folder of request and answer files, named after the key.
// Anyone can work that name out, so both live only where no other user can
// make, change or read a file: a folder of the user's own, checked before
// anything in it is used, and each file read is checked to be the user's.

#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "toolkit/platform_error.h"

class QLockFile;

namespace Toolkit {

class SingleInstance : public QObject {
  Q_OBJECT

 public:
  // Takes the key when no live process holds it. The lock and the mailbox
  // go into a folder named after the key, made open to the user alone,
  // inside `own_folder` (the program's folder in the user's cache, made
  // when missing), which must be the user's own and writable by no one
  // else. Where it will not do, nothing is made or read: Refusal() says why.
  SingleInstance(const std::string& key, const std::string& own_folder);
  ~SingleInstance() override;

  // Why no folder of the user's own could be had for the lock and the
  // mailbox (the last one tried, and what is wrong with it); nothing when
  // one is in use. With a refusal the start neither owns the key nor can
  // hand anything over.
  const std::optional<PlatformError>& Refusal() const { return refusal_; }

  // True when this process owns the key.
  bool Owns() const { return lock_ != nullptr; }

  // For a start that does not own the key: hands `request` to the owner and
  // waits up to `patience` for its answer. Nothing when none came (the
  // owner hung, or ended meanwhile): the request is then taken back, so
  // that no owner acts on it later; one the owner had already taken is
  // waited for up to `patience` more. REQUIRES: !Owns(), no Refusal().
  std::optional<std::string> HandOver(const std::string& request,
                                      std::chrono::milliseconds patience);

  // For the owner: from now on, each request handed over is passed to
  // `answer` on this thread, from the event loop, and what it returns goes
  // back to the start that sent it. A file in the mailbox that is not the
  // user's own is deleted unread. REQUIRES: Owns().
  using Answer = std::function<std::string(const std::string& request)>;
  void Listen(Answer answer);

 private:
  void AnswerWaiting();

  std::string mailbox_;  // the folder of requests and answers, with a separator
  std::unique_ptr<QLockFile> lock_;
  std::optional<PlatformError> refusal_;
  Answer answer_;
  QTimer poll_;
};

}  // namespace Toolkit
