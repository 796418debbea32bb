// The sink of the engine call this thread is in.
//
// An engine call (opening a database, a relink, a recovery) puts its
// engine's sink in place for its duration; what the writer below it finds
// goes there, so two engines with different sinks never see each other's
// notices. Outside any call notices are dropped.
#pragma once

#include "engine/notices.h"

namespace povezava::engine {

class NoticeScope {
 public:
  explicit NoticeScope(NoticeSink& sink);
  ~NoticeScope();
  NoticeScope(const NoticeScope&) = delete;
  NoticeScope& operator=(const NoticeScope&) = delete;

 private:
  NoticeSink* outer_;
};

// The sink of the innermost NoticeScope of this thread; droppedNotices()
// outside any.
NoticeSink& currentNotices();

}  // namespace povezava::engine
