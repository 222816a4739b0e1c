// pickbox's command line and JUX_QUEID: what is to be shown and where the
// choice goes, or why it is refused before anything is drawn.
#pragma once

#include <sys/types.h>

#include <string>

#include "find.h"

namespace pickbox {

constexpr key_t kDefaultQueueKey = 30001;  // when JUX_QUEID is not set

struct Request {
  ItemList items;       // views of the arguments: a list may be as long as an argument list holds
  std::string title;
  key_t queue_key = kDefaultQueueKey;
};

struct CheckedRequest {
  Request request;
  bool usage = false;   // too few arguments: the usage line, nothing else
  std::string refusal;  // why it is refused; empty when it stands
};

// What mqtool would refuse is refused here, before the user makes a choice:
// a key it does not send on, a choice longer than one message, an empty
// choice when the title is the only one. queue_id_env: JUX_QUEID, or null.
CheckedRequest check_request(int argc, const char* const* argv, const char* queue_id_env);

}  // namespace pickbox
