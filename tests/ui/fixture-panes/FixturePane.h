#pragma once

// A pane for the loader tests: no widgets; it says which library it came from, and that
// it was made at all.

#include "PresetPane.h"

#include <QCoreApplication>
#include <QObject>
#include <QVariant>

class FixturePaneBase : public QObject, public orvanta::PresetPane
{
public:
    explicit FixturePaneBase(const char* variant)
    {
        setObjectName(QLatin1String(variant));
        if (QCoreApplication* app = QCoreApplication::instance())
            app->setProperty(variant, true);
    }
    QWidget* loadMainView() override { return nullptr; }
    void mainViewDidLoad() override {}
    void willSelect() override {}
    QWidget* mainView() const override { return nullptr; }
    void didSelect() override {}
};
