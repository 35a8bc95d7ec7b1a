#include "app/main_window/key_indicators.h"

#include "platform/qt/keyboard_lock_state.h"

#include <QLabel>
#include <QStatusBar>
#include <QTimer>

KeyIndicators::KeyIndicators(QStatusBar* bar, const QStringList& labels)
    : QObject(bar)
{
    for (int i = 0; i < 3; ++i) {
        auto* label = new QLabel(bar);
        label->setObjectName(labels.at(i));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setAlignment(Qt::AlignCenter);
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance(labels.at(i)) + 10);
        bar->addPermanentWidget(label);
        panes[i] = label;
    }
    KeyboardLocks locks;
    if (ReadKeyboardLocks(&locks)) {
        // The window system does not announce lock changes to an unfocused
        // program, so the lights are looked at a few times a second.
        lockTimer = new QTimer(this);
        connect(lockTimer, &QTimer::timeout, this, &KeyIndicators::update);
        lockTimer->start(250);
    }
    update();
}

void KeyIndicators::update()
{
    KeyboardLocks locks;
    ReadKeyboardLocks(&locks);
    const bool on[3] = {locks.caps, locks.num, locks.scroll};
    for (int i = 0; i < 3; ++i) {
        QString text = on[i] ? panes[i]->objectName() : QString();
        if (panes[i]->text() != text)
            panes[i]->setText(text);
    }
}
