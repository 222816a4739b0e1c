#include "request.h"

#include "quelib.h"

namespace pickbox {

namespace {

std::string too_long(const std::string& what) {
  return what + " is longer than " + std::to_string(QUE_TEXT_MAX) + " bytes, the most one message holds";
}

std::string refusal(const Request& r, const char* queue_id_env, key_t* key) {
  if (queue_id_env != nullptr) {
    const std::string env = queue_id_env;
    const int refused = sendquekey(queue_id_env, key);
    if (refused == QUEKEY_OUT_OF_RANGE) return "JUX_QUEID=" + env + " is outside the range of a queue key";
    if (refused == QUEKEY_BELOW_SEND)
      return "JUX_QUEID=" + env + " reads as " + std::to_string(*key) + ", below " + std::to_string(QUE_MIN_SEND_KEY) +
             ", the lowest key mqtool sends on";
  }
  for (int k = 0; k < r.items.count; ++k)
    if (r.items.at(k).size() > QUE_TEXT_MAX) return too_long("item " + std::to_string(k + 1));
  // With no items the title is the one choice.
  if (r.items.count == 0 && r.title.empty()) return "the only choice, the title, is empty and cannot be posted";
  if (r.items.count == 0 && r.title.size() > QUE_TEXT_MAX) return too_long("the only choice, the title,");
  return {};
}

}  // namespace

CheckedRequest check_request(int argc, const char* const* argv, const char* queue_id_env) {
  CheckedRequest checked;
  if (argc < 2) {
    checked.usage = true;
    return checked;
  }
  Request& r = checked.request;
  r.items = ItemList{argv + 1, argc - 2};
  r.title = argv[argc - 1];
  checked.refusal = refusal(r, queue_id_env, &r.queue_key);
  return checked;
}

}  // namespace pickbox
