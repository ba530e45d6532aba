// A fixture for tests of the "Example values" window as a user meets it:
// a query over the address and description, asked twice on thread 1 (the
// test answers each window), with each ask's result and the stored
// examples kept for the test to check.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "support/WindowTestFixture.h"
#include "window/QueryManager.h"
#include "window/QueryWindow.h"

namespace marlinden::testing {

class QueryWindowFixture : public runtime::ui::testing::WindowFixture<> {
 protected:
  // Starts the query with the example limit for field stored, asks it twice
  // and returns the first window.
  runtime::ui::WindowId AskTwice(const std::string& field, const std::string& limit) {
    Start([this, field, limit] {
      QueryWindow w;
      QueryManager q;
      q.Init(w);
      q.AddField("WEB:URL", "URL", "@s40");
      q.AddField("WEB:DESCRIPTION", "Description", "@s20");
      q.SetLimit(field, "", "", limit);
      firstResult = q.Ask(true);
      afterFirst = q.FIELDS->Get(1)->MIDDLE + "|" + q.FIELDS->Get(2)->MIDDLE;
      secondResult = q.Ask(true);
      afterSecond = q.FIELDS->Get(1)->MIDDLE + "|" + q.FIELDS->Get(2)->MIDDLE;
      q.Kill();
    });
    return driver.WaitForWindow(1);
  }

  // Written on thread 1, read after the program has ended.
  Severity firstResult = SeverityFatal;
  Severity secondResult = SeverityFatal;
  std::string afterFirst;   // "URL example|description example" after the first ask
  std::string afterSecond;  // the same after the second
};

}  // namespace marlinden::testing
