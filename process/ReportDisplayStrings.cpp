#include "process/ReportDisplayStrings.h"

#include <string>

#include "runtime/ini/IniFile.h"

namespace marlinden {

ReportDisplayStrings DisplayStrings;

void LoadDisplayStrings(std::string_view iniName, std::string_view question, std::string_view title,
                        std::string_view userText) {
  std::string name(runtime::Clip(iniName));
  if (name.empty()) name = "WIN.INI";
  const runtime::IniFile ini(name);
  constexpr std::string_view kSection = "DISPLAY STRINGS 2.0";
  ReportDisplayStrings& s = DisplayStrings;
  auto read = [&](auto& field, std::string_view key, std::string_view fallback) {
    field.Set(ini.Read(kSection, key, fallback));
  };
  read(s.ProgWinTitlePrvw, "ProgWinTitlePrvw", "Generating Report");
  read(s.ProgWinTitlePrnt, "ProgWinTitlePrnt", "Printing Report");
  read(s.ProgWinPctText, "ProgWinPctText", "% Completed");
  read(s.ProgWinRecText, "ProgWinRecText", "Records Read");
  read(s.ProgWinUsrText, "ProgWinUsrText", userText);
  read(s.PrinterDlgTitle, "PrinterDlgTitle", "Report Destination");
  read(s.AskPrvwDialogTitle, "AskPrvwDialogTitle", title);
  read(s.AskPrvwDialogText, "AskPrvwDialogText", question);
  read(s.CancelAreYouSureTitle, "CancelAreYouSureTitle", "Question");
  read(s.CancelAreYouSureText, "CancelAreYouSureText", "Are you sure you want to CANCEL this Report?");
  read(s.CancelPrvwPartialTitle, "CancelPrvwPartialTitle", "Question");
  read(s.CancelPrvwPartialText, "CancelPrvwPartialText",
       "Report Cancellation Requested!||Preview Report generated so far?");
  read(s.NoDfltPrtrTitle, "NoDfltPrtrTitle", "WARNING!");
  read(s.NoDfltPrtrText, "NoDfltPrtrText",
       "Warning:  No DEFAULT Printer Driver Found!||Printing may not occur correctly (or at all)|without a Default "
       "printer assigned.||Use CONTROL PANEL (PRINTERS) to set a|printer as your Default.||Continue with report "
       "anyway?");
  read(s.NothingToPrvwTitle, "NothingToPrvwTitle", "NOTE...");
  read(s.NothingToPrvwText, "NothingToPrvwText", "Nothing to Preview.");
  read(s.NothingToPrntTitle, "NothingToPrntTitle", "NOTE...");
  read(s.NothingToPrntText, "NothingToPrntText", "Nothing to Print.");
  read(s.AsciiOutTitle, "AsciiOutTitle", "Save to what Filename?");
  read(s.AsciiOutMasks, "AsciiOutMasks", "Text|*.TXT|All Files|*.*");
  read(s.DynLblErrTitle, "DynLblErrTitle", "Problem!");
  read(s.DynLblErrText1, "DynLblErrText1", "Sorry!||");
  read(s.DynLblErrText2, "DynLblErrText2", "||Does not support paper type:");
}

}  // namespace marlinden
