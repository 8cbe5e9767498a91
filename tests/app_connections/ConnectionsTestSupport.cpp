#include "ConnectionsTestSupport.h"

#include <QAbstractButton>
#include <QMessageBox>

#include "engine/connection/MUDConnection.h"
#include "engine/storage/MUDPreservation.h"

void DataFolderTest::SetUp()
{
    ASSERT_TRUE(m_dir.isValid());
    qputenv("QUARROW_DATA_DIR", m_dir.path().toLocal8Bit());
}

void DataFolderTest::TearDown()
{
    qunsetenv("QUARROW_DATA_DIR");
}

std::shared_ptr<MUDConnection> DataFolderTest::storeConnection(const QString& title, const QString& host, quint64 port,
                                                               const QString& connectionId)
{
    auto connection = std::make_shared<MUDConnection>();
    auto copy = connection->copy();
    copy->setTitle(title);
    copy->setHost(host);
    copy->setPort(port);
    copy->setConnectionId(connectionId);
    connection->setModifiedInstance(copy);
    EXPECT_TRUE(MUDPreservation::saveConnection(*connection));
    return MUDPreservation::loadConnectionById(connectionId);
}

QStringList DataFolderTest::storedTitles()
{
    QStringList titles;
    for (const auto& connection : MUDPreservation::loadConnections())
        titles << connection->title();
    return titles;
}

QMessageBox* shownMessageBox(QWidget* parent)
{
    for (QMessageBox* box : parent->findChildren<QMessageBox*>())
        if (box->isVisible())
            return box;
    return nullptr;
}

bool clickButton(QMessageBox* box, const QString& title)
{
    for (QAbstractButton* button : box->buttons()) {
        if (button->text() == title) {
            button->click();
            return true;
        }
    }
    return false;
}
