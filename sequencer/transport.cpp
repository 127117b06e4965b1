#include "sequencer/transport.h"

namespace trovik {
namespace {

// Numbers show with a leading blank where a sign would go: "Bar- 7".
QString signedNumber(int value) {
    return (value >= 0 ? QStringLiteral(" ") : QString()) + QString::number(value);
}

}  // namespace

void Transport::Command1_Click() {
    c_.Check1.setCheckState(Qt::Checked);
    c_.Timer1.setInterval(c_.VScroll1.value());
}

void Transport::Command2_Click() {
    c_.Timer1.setInterval(0);
    c_.HScroll1.setValue(1);
    c_.Check1.setCheckState(Qt::Unchecked);
}

void Transport::Timer2_Timer() {
    if (running()) c_.Timer1.setInterval(c_.VScroll1.value());
    if (c_.Check1.checkState() == Qt::Unchecked) {
        c_.Timer1.setInterval(0);
        c_.HScroll1.setValue(1);
    }
    c_.Label4.setText(barText(c_.HScroll1.value()));
    c_.Label3.setText(tempoText(c_.VScroll1.value()));
}

QString Transport::barText(int position) {
    return QStringLiteral("Bar-") + signedNumber(position);
}

QString Transport::tempoText(int interval) {
    return QStringLiteral("Tempo:") + signedNumber(1000 - interval);
}

}  // namespace trovik
