// SPDX-License-Identifier: MIT
#pragma once

// One running window per key (its work folder): the first start that takes
// the key owns it and answers what later starts hand over to it; a later
// start hands its request over and learns the answer. Only Qt Core and
// files: a lock file (taken over once its owner has died, whatever way)
// and a mailbox folder of request and answer files, both in the user's
// runtime folder, named after the key.

#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QLockFile;

namespace Toolkit {

class SingleInstance : public QObject {
  Q_OBJECT

 public:
  // Takes the key when no live process holds it. `folder` is where the
  // lock and the mailbox go; empty: the user's runtime folder.
  explicit SingleInstance(const std::string& key, const std::string& folder = {});
  ~SingleInstance() override;

  // True when this process owns the key.
  bool Owns() const { return lock_ != nullptr; }

  // For a start that does not own the key: hands `request` to the owner and
  // waits up to `patience` for its answer. Nothing when none came (the
  // owner hung, or ended meanwhile). REQUIRES: !Owns().
  std::optional<std::string> HandOver(const std::string& request,
                                      std::chrono::milliseconds patience);

  // For the owner: from now on, each request handed over is passed to
  // `answer` on this thread, from the event loop, and what it returns goes
  // back to the start that sent it. REQUIRES: Owns().
  using Answer = std::function<std::string(const std::string& request)>;
  void Listen(Answer answer);

 private:
  void AnswerWaiting();

  std::string mailbox_;  // the folder of requests and answers, with a separator
  std::unique_ptr<QLockFile> lock_;
  Answer answer_;
  QTimer poll_;
};

}  // namespace Toolkit
