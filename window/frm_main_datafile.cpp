// The data file as the window uses it: the presence check and the messages that report
// a missing, empty or damaged file, or a glossary that could not be read.
#include "window/frm_main.h"

namespace vx414 {

int frmMain::datafilecheck() const
{
    return vx414::datafilecheck(dataFilePath(AppFolder.toStdString()));
}

void frmMain::showDataFileMessage(DataFileCode code)
{
    showDataFileMessage(DataFileStatus::failure(code));
}

void frmMain::showDataFileMessage(const DataFileStatus& status)
{
    const std::string text = messageText(status, AppFolder.toStdString());
    platform_.messageBox.show(QString::fromStdString(text),
                              QString::fromLatin1(kDataFileMessageTitle.data(),
                                                  static_cast<qsizetype>(kDataFileMessageTitle.size())),
                              MsgButtons::Ok, MsgIcon::None);
}

bool frmMain::endsOnBadPair(const DataFileStatus& status)
{
    // A pair that fails its checks means the file is not ours: say so, then end at once.
    if (!endsProgram(status))
        return false;
    datafileclose(dataSlot_);
    showDataFileMessage(DataFileCode::BadPair);
    programEnded_ = true;
    platform_.programEnd.endNow();
    return true;
}

bool frmMain::endsOnLoadFailure(const DataFileStatus& status)
{
    if (status.ok())
        return false;
    if (endsOnBadPair(status))
        return true;
    // The glossary is read at start-up only, and a glossary that could not be opened or
    // was cut short would go unnoticed: say what failed, then end before the window shows.
    showDataFileMessage(status);
    programEnded_ = true;
    platform_.programEnd.endNow();
    return true;
}

}  // namespace vx414
