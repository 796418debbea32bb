// What the engine found that its user should know although nothing failed:
// an interrupted relink that is pending or was undone, a journal that did
// not belong to its database and was moved aside.
//
// The engine adds them as it works; the command line prints them to stderr
// and the window shows them, each after the operation that found them.
#pragma once

#include <string>
#include <vector>

namespace povezava::engine {

// What a notice is about, so that a front end can word it in its own language.
enum class NoticeCase {
  other,            // only the English text is known
  relinkPending,    // a relink was cut short; the file is shown as it was before
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

// Adds a notice (a whole sentence naming the file).
void notice(std::string text);
void notice(Notice notice);

// The notices added since the last call, oldest first: their English texts,
// or the whole notices. Both take from the same list.
std::vector<std::string> takeNotices();
std::vector<Notice> takeNoticeRecords();

}  // namespace povezava::engine
