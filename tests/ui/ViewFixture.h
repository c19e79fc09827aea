#pragma once

#include "copy/InstallerCopy.h"
#include "platform/Bundle.h"
#include "state/InstallerModel.h"
#include "ui/ActionButton.h"
#include "ui/Footer.h"
#include "ui/InstallerView.h"
#include "ui/ScreenContent.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace ZunoInstaller {

// One QApplication for the whole test program; the tests run on the offscreen platform.
inline QApplication& testApplication()
{
    static int argc = 1;
    static char name[] = "ui_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

inline QString text(const char* key)
{
    return installerCopy().text(QString::fromLatin1(key));
}

// A model of the built bundle with an empty home (no Codex desktop app), frozen
// by default, and the real view bound to it, shown and active.
class ViewTest : public ::testing::Test {
protected:
    // The interface language the view is shown in.
    virtual QString language() const { return QStringLiteral("en"); }

    void SetUp() override
    {
        testApplication();
        ASSERT_TRUE(home.isValid());
        const Bundle bundle(qEnvironmentVariable("ZUNO_TEST_BUNDLE"));
        replaceInstallerCopy(InstallerCopy({language()}, bundle));
        model = std::make_unique<InstallerModel>(bundle, home.path().toStdString());
        model->fixture = true;
        view = std::make_unique<InstallerView>(model.get());
        view->show();
        view->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    }

    void TearDown() override
    {
        view.reset();
        model.reset();
    }

    void showScreen(InstallerScreen screen)
    {
        model->setScreen(screen);
        settle();
    }

    static void settle() { QCoreApplication::processEvents(); }

    // Where a child sits in view coordinates.
    QRect placeOf(const QWidget* widget) const
    {
        return QRect(widget->mapTo(view.get(), QPoint(0, 0)), widget->size());
    }

    ActionButton* primary() const { return view->footer()->primary(); }
    ActionButton* secondary() const { return view->footer()->secondary(); }

    QTemporaryDir home;
    std::unique_ptr<InstallerModel> model;
    std::unique_ptr<InstallerView> view;
};

class TurkishViewTest : public ViewTest {
protected:
    QString language() const override { return QStringLiteral("tr"); }
};

} // namespace ZunoInstaller
