// One QApplication for the whole test program, on the offscreen platform unless told otherwise.
// Shared by the Qt test programs that have no QApplication of their own.
#include <QApplication>

#include <gtest/gtest.h>

#include <memory>

namespace {

class QtEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        // A recording or key pick in a test must never grab the keyboards of the machine it runs on.
        if (qEnvironmentVariableIsEmpty("NK7X_INPUT_DIR"))
            qputenv("NK7X_INPUT_DIR", "/nonexistent/nk7x-test-input");
        static int argc = 1;
        static char name[] = "nk7x-test";
        static char* argv[] = {name, nullptr};
        m_app = std::make_unique<QApplication>(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
    }
    void TearDown() override { m_app.reset(); }

  private:
    std::unique_ptr<QApplication> m_app;
};

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

} // namespace
