// Shared services: image cache, editor-root lookup, repaint-if-visible, GUID, null-safe delete.
#include "binding/services.h"

#include <QPointer>
#include <QTest>
#include <QWidget>

namespace {

struct CountedRecord : TCachedData
{
    explicit CountedRecord(int* deaths) : deaths(deaths) { key = QStringLiteral("asked"); }
    ~CountedRecord() override { ++*deaths; }
    int* deaths;
};

class ServerWindow : public QWidget, public TCacheServer
{
public:
    explicit ServerWindow(QWidget* parent = nullptr) : QWidget(parent) {}
};

class EditorRoot : public QWidget, public IEditorExtensions
{
public:
    using QWidget::QWidget;
};

// Counts paint events, so a scheduled repaint can be observed.
class PaintCounter : public QWidget
{
public:
    using QWidget::QWidget;
    int paints = 0;

protected:
    void paintEvent(QPaintEvent*) override { ++paints; }
};

// Holds its record the way a control does, and reads it when it goes.
class RecordUser : public QWidget
{
public:
    RecordUser(QWidget* parent, TCachedData* record, int* reads) : QWidget(parent), record(record), reads(reads) {}
    ~RecordUser() override { *reads += record->useCount; }
    TCachedData* record;
    int* reads;
};

} // namespace

class TestServices : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void findCacheServerWalksUpAcrossWindows()
    {
        ServerWindow server;
        server.setWindowTitle("Main Editor");
        QWidget panel(&server);
        auto* leaf = new QWidget(&panel);
        auto* floating = new QWidget(leaf, Qt::Window); // its own window, still a child

        QString caption = "untouched";
        QCOMPARE(TCacheServer::FindCacheServer(&server, &caption), static_cast<TCacheServer*>(&server));
        QCOMPARE(caption, QString("Main Editor"));
        caption.clear();
        QCOMPARE(TCacheServer::FindCacheServer(floating, &caption), static_cast<TCacheServer*>(&server));
        QCOMPARE(caption, QString("Main Editor"));
        QCOMPARE(TCacheServer::FindCacheServer(leaf, nullptr), static_cast<TCacheServer*>(&server));

        QWidget lonely;
        caption = "untouched";
        QCOMPARE(TCacheServer::FindCacheServer(&lonely, &caption), nullptr);
        QCOMPARE(caption, QString("untouched"));
        QCOMPARE(TCacheServer::FindCacheServer(nullptr, &caption), nullptr);
    }

    void insertSharesOneRecordPerKey()
    {
        int deaths = 0;
        {
            ServerWindow server;
            auto* first = new CountedRecord(&deaths);
            auto* second = new CountedRecord(&deaths);

            TCachedData* a = server.insert("knob", first);
            QCOMPARE(a, first);
            QCOMPARE(a->useCount, 1);
            QVERIFY(a->key.isNull());

            TCachedData* b = server.insert("knob", second); // second is destroyed, first adopted
            QCOMPARE(b, first);
            QCOMPARE(b->useCount, 2);
            QCOMPARE(deaths, 1);

            QCOMPARE(server.insert("knob", first), first); // the stored record itself: kept
            QCOMPARE(first->useCount, 3);
            QCOMPARE(deaths, 1);

            QCOMPARE(server.insert("other", nullptr), nullptr);
            QCOMPARE(server.cache.size(), 1);
            QVERIFY(server.mutex.tryLock()); // insert left the mutex unlocked
            server.mutex.unlock();
        }
        QCOMPARE(deaths, 2); // the server deletes its records when it goes
    }

    void recordsOutliveTheControlsThatUseThem()
    {
        // QWidget listed first: the server part is destroyed before the widget part, so the
        // server must take the children down before their records.
        int deaths = 0;
        int reads = 0;
        auto* server = new ServerWindow;
        TCachedData* record = server->insert("button", new CountedRecord(&deaths));
        QCOMPARE(TCacheServer::FindCacheServer(server, nullptr), static_cast<TCacheServer*>(server));
        new RecordUser(server, record, &reads);
        new RecordUser(server, record, &reads);
        delete server; // ASan reports a use after free if a user outlives the record
        QCOMPARE(reads, 2);
        QCOMPARE(deaths, 1);
    }

    void rootObjectOfClassFindsTheEditorWindow()
    {
        EditorRoot root;
        QWidget mid(&root);
        QWidget leaf(&mid);
        QCOMPARE(rootObjectOfClass<IEditorExtensions>(&leaf), static_cast<QWidget*>(&root));
        QCOMPARE(rootObjectOfClass<IEditorExtensions>(&root), static_cast<QWidget*>(&root));
        QWidget stray;
        QCOMPARE(rootObjectOfClass<IEditorExtensions>(&stray), nullptr);
        QCOMPARE(rootObjectOfClass<IEditorExtensions>(nullptr), nullptr);
    }

    void geometryChangeRepaintsOnlyVisibleWidgets()
    {
        PaintCounter* none = nullptr;
        QVERIFY(!NS_Utilities::geometry_change(none));

        PaintCounter hidden;
        QVERIFY(!NS_Utilities::geometry_change(&hidden));

        PaintCounter shown;
        shown.resize(20, 20);
        shown.show();
        QVERIFY(QTest::qWaitForWindowExposed(&shown));
        QCoreApplication::processEvents();
        const int before = shown.paints;
        QVERIFY(NS_Utilities::geometry_change(&shown));
        QTRY_VERIFY(shown.paints > before);
    }

    void guidBytesBecomeUuidFields()
    {
        OV_GUID g;
        for (int i = 0; i < 16; ++i)
            g.bytes[i] = quint8(i);
        const QUuid u = Guid2QUuid(g);
        QCOMPARE(u.data1, 0x00010203u);
        QCOMPARE(u.data2, quint16(0x0405));
        QCOMPARE(u.data3, quint16(0x0607));
        for (int i = 0; i < 8; ++i)
            QCOMPARE(int(u.data4[i]), 8 + i);
        QCOMPARE(u.toString(), QString("{00010203-0405-0607-0809-0a0b0c0d0e0f}"));
    }

    void safeDeleteClearsFirst()
    {
        QObject* none = nullptr;
        safe_delete1(none);
        QCOMPARE(none, nullptr);

        auto* object = new QObject;
        QPointer<QObject> watch(object);
        safe_delete1(object);
        QCOMPARE(object, nullptr);
        QVERIFY(watch.isNull());
    }
};

QTEST_MAIN(TestServices)
#include "tst_services.moc"
