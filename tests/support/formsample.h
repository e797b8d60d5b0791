// A form that sets every designer property of every registered control to a value other than
// its default, and the check that a loaded form carries those values. One form, three clients:
// QUiLoader through the Designer plug-in, OrvelUiLoader, and uic-generated code (tests/uic/).
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace FormSample {

// The strip every pixmap property is set to; the client must compile tests/data/strip16x64.png
// into its resources under this path.
QString stripResource();

// The .ui text. With stdsetZero every property is written with stdset="0" (uic then emits
// setProperty); without it, as Qt Designer saves forms (uic calls set<Name>). Needs a
// QApplication: the defaults are read from fresh controls.
QString formXml(bool stdsetZero);

// Every way the controls under `form` differ from what formXml() set ("CDial.nSubImages: 1, expected 3");
// empty when all values arrived. A missing control or an unsupported property type is a difference too.
QStringList mismatches(const QWidget* form);

} // namespace FormSample
