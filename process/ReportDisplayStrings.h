// The texts a report shows (progress window, preview question, cancel
// questions, "nothing to" notes), read once per report run from section
// "DISPLAY STRINGS 2.0" of an INI file, each with its default. A vertical
// bar in a text starts a new line in a message box.
// Thread: the report's runtime thread.
#pragma once

#include <string_view>

#include "runtime/text/FixedText.h"

namespace marlinden {

struct ReportDisplayStrings {
  runtime::FixedText<63> ProgWinTitlePrvw;
  runtime::FixedText<63> ProgWinTitlePrnt;
  runtime::FixedText<63> ProgWinPctText;
  runtime::FixedText<63> ProgWinRecText;
  runtime::FixedText<63> ProgWinUsrText;
  runtime::FixedText<63> PrinterDlgTitle;
  runtime::FixedText<63> AskPrvwDialogTitle;
  runtime::FixedText<63> AskPrvwDialogText;
  runtime::FixedText<63> CancelAreYouSureTitle;
  runtime::FixedText<63> CancelAreYouSureText;
  runtime::FixedText<63> CancelPrvwPartialTitle;
  runtime::FixedText<127> CancelPrvwPartialText;
  runtime::FixedText<63> NoDfltPrtrTitle;
  runtime::FixedText<254> NoDfltPrtrText;
  runtime::FixedText<63> NothingToPrvwTitle;
  runtime::FixedText<63> NothingToPrvwText;
  runtime::FixedText<63> NothingToPrntTitle;
  runtime::FixedText<63> NothingToPrntText;
  runtime::FixedText<63> AsciiOutTitle;
  runtime::FixedText<63> AsciiOutMasks;
  runtime::FixedText<63> DynLblErrTitle;
  runtime::FixedText<63> DynLblErrText1;
  runtime::FixedText<63> DynLblErrText2;
};

// The strings shared by the report code.
extern ReportDisplayStrings DisplayStrings;

// Reads the 23 strings from iniName without trailing spaces ("WIN.INI" when
// that is empty); the preview question's text and title and the user line
// default to the given texts.
void LoadDisplayStrings(std::string_view iniName, std::string_view question, std::string_view title,
                        std::string_view userText);

}  // namespace marlinden
