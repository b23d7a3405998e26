// The program's entry: runs the dialogue and turns whatever ended the run into
// its report and exit status. No other place prints a report or exits.
#include "driver/driver.h"
#include "numlib/numlib.h"
#include "textio/textio.h"

int main() {
  using namespace ploverix;
  textio::installInterruptHandlers();
  try {
    driver::runProgram();
  } catch (const textio::IoError& error) {
    return textio::reportIoError(error);
  } catch (const textio::MathError& error) {
    return textio::reportMathError(error);
  } catch (const numlib::LibraryStop&) {
    // The library has printed its message already. A stop means the run did
    // not do its job, so it must not look like success.
    textio::closeAllUnits();
    return 1;
  } catch (const driver::SettingAboveLimit& error) {
    textio::reportLine(error.message());
    textio::closeAllUnits();
    return 2;
  }
  textio::closeAllUnits();
  return 0;
}
