// SPDX-License-Identifier: MIT
#pragma once
// frmAbout: the program's emblem, name, author line, version and credits. A
// fixed dialog, centred on the screen when shown; "OK" hides it. The main
// window creates it once and shows it with exec() at every "About".
//
// Object names are the controls' names; the members of the control array
// lblInfo are named with their index: "lblInfo_0" .. "lblInfo_5".

#include "FixedDialog.h"

#include <array>

class QLabel;
class QPushButton;

namespace q2 {

class frmAbout : public FixedDialog {
public:
    static constexpr int kCount = 6;
    static const char* const kCaption;
    // The labels' texts, by index.
    static const std::array<const char*, kCount> kTexts;

    explicit frmAbout(QWidget* parent = nullptr);

    QLabel* imgIcon() const { return m_imgIcon; }
    QLabel* lblInfo(int index) const { return m_lblInfo.at(std::size_t(index)); }
    QPushButton* cmdOK() const { return m_cmdOK; }


private:
    QLabel* m_imgIcon = nullptr;
    std::array<QLabel*, kCount> m_lblInfo{};
    QPushButton* m_cmdOK = nullptr;
};

} // namespace q2
