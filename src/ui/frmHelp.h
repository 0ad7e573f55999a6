// SPDX-License-Identifier: MIT
#pragma once
// frmHelp: three framed paragraphs on loading maps, picking tiles and placing
// tiles. A fixed dialog, centred on the screen when shown; "Close" hides it.
// The main window creates it once and shows it with exec() at every "Help".
//
// Object names are the controls' names; the members of the control arrays
// fraHelp and lblInfo are named with their index: "fraHelp_0" .. "fraHelp_2",
// "lblInfo_0" .. "lblInfo_2".

#include "FixedDialog.h"

#include <array>

class QGroupBox;
class QLabel;
class QPushButton;

namespace q2 {

class frmHelp : public FixedDialog {
public:
    static constexpr int kCount = 3;
    static const char* const kCaption;
    static const std::array<const char*, kCount> kFrameCaptions;
    static const std::array<const char*, kCount> kHelpTexts;

    explicit frmHelp(QWidget* parent = nullptr);

    QGroupBox* fraHelp(int index) const { return m_fraHelp.at(std::size_t(index)); }
    QLabel* lblInfo(int index) const { return m_lblInfo.at(std::size_t(index)); }
    QPushButton* cmdClose() const { return m_cmdClose; }


private:
    std::array<QGroupBox*, kCount> m_fraHelp{};
    std::array<QLabel*, kCount> m_lblInfo{};
    QPushButton* m_cmdClose = nullptr;
};

} // namespace q2
