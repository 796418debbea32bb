// What the engine found that its user should know although nothing failed:
// an interrupted relink that is pending or was undone, a journal that did
// not belong to its database and was moved aside.
//
// The engine adds them, as it works, to the sink it was made with (engine.h,
// EngineSetup); the command line prints them to stderr and the window shows
// them, each after the operation that found them.
#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace povezava::engine {

// What a notice is about, so that a front end can word it in its own language.
enum class NoticeCase {
  other,            // only the English text is known
  relinkPending,    // a relink was cut short; the file is shown as it was before
  relinkInProgress, // another povezava is relinking; the file is shown as it was before
  relinkUndone,     // a relink was cut short; its old pages were put back
  journalIgnored,   // a journal that does not belong to the file is left alone
  journalSetAside,  // such a journal was moved aside
};

struct Notice {
  NoticeCase what = NoticeCase::other;
  std::string file;     // the database it is about
  std::string journal;  // the journal it is about, when one
  std::string text;     // the whole sentence in English, naming the file
};

// Where notices go. Called from any thread the engine works in.
class NoticeSink {
 public:
  virtual ~NoticeSink() = default;
  virtual void notice(Notice notice) = 0;
  // A notice known only by its English sentence.
  void notice(std::string text) { notice(Notice{NoticeCase::other, {}, {}, std::move(text)}); }

 protected:
  NoticeSink() = default;
  NoticeSink(const NoticeSink&) = default;
  NoticeSink& operator=(const NoticeSink&) = default;
};

// A sink that keeps the notices until they are taken.
class NoticeList final : public NoticeSink {
 public:
  using NoticeSink::notice;
  void notice(Notice notice) override;

  // The notices added since the last call, oldest first: their English
  // texts, or the whole notices. Both take from the same list.
  std::vector<std::string> takeTexts();
  std::vector<Notice> takeRecords();

 private:
  std::mutex mutex_;
  std::vector<Notice> pending_;
};

// A sink that drops every notice: for what has no one to tell.
NoticeSink& droppedNotices();

}  // namespace povezava::engine
