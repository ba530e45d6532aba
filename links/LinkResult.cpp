#include "links/LinkResult.h"

namespace marlinden::links {

std::string_view LinkStatusName(LinkStatus status) {
  switch (status) {
    case LinkStatus::Ok:
      return "ok";
    case LinkStatus::Redirect:
      return "redirect";
    case LinkStatus::Dead:
      return "dead";
    case LinkStatus::Error:
      return "error";
    case LinkStatus::NotChecked:
      return "unchecked";
  }
  return "error";
}

}  // namespace marlinden::links
