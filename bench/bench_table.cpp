// Times the server table of the connection panel with 10,000 servers: one keystroke
// in the search box, and a sort by each column, each from the change until the event
// loop has done the work it caused (the proxy, the view's layout and its painting).
// The panel is the program's own, shown offscreen over a real catalogue. The
// baseline is a plain QSortFilterProxyModel over a plain table model holding the
// same cells, in a tree view set up like the panel's, with the same text typed into
// a line edit beside it, so that the ratio holds on any machine. The last line
// names the slowest keystroke and sort beside the goals of 16 ms (a frame) and 50 ms.

#include "benchmark.h"
#include "connectionpanel.h"
#include "core.h"
#include "databasemanager.h"
#include "geoip.h"
#include "mirrow.h"
#include "vpnmanager.h"
#include "vpnserverfiltermodel.h"
#include "vpnservermodel.h"

#include <QApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QHeaderView>
#include <QLineEdit>
#include <QSortFilterProxyModel>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

constexpr int Repetitions = 9;
constexpr int ServerCount = 10000;
constexpr double KeystrokeGoalMs = 16;
constexpr double SortGoalMs = 50;

struct Place
{
    const char *code;
    const char *country;
    const char *city;
    double lat;
    double lng;
};

// "Fra" finds Frankfurt, France, San Francisco and Frankfort; "Fran" not Frankfort.
const Place Places[] = {
    { "DE", "Germany", "Frankfurt", 50.11, 8.68 },
    { "DE", "Germany", "Berlin", 52.52, 13.40 },
    { "FR", "France", "Paris", 48.86, 2.35 },
    { "FR", "France", "Marseille", 43.30, 5.37 },
    { "NL", "Netherlands", "Amsterdam", 52.37, 4.90 },
    { "GB", "United Kingdom", "London", 51.51, -0.13 },
    { "US", "United States", "New York", 40.71, -74.01 },
    { "US", "United States", "San Francisco", 37.77, -122.42 },
    { "US", "United States", "Frankfort", 38.20, -84.87 },
    { "CA", "Canada", "Toronto", 43.65, -79.38 },
    { "JP", "Japan", "Tokyo", 35.68, 139.69 },
    { "BR", "Brazil", "São Paulo", -23.55, -46.63 },
    { "AU", "Australia", "Sydney", -33.87, 151.21 },
    { "CH", "Switzerland", "Zurich", 47.38, 8.54 },
    { "SE", "Sweden", "Stockholm", 59.33, 18.07 },
    { "ES", "Spain", "Madrid", 40.42, -3.70 },
    { "IT", "Italy", "Milan", 45.46, 9.19 },
    { "SG", "Singapore", "Singapore", 1.35, 103.82 },
    { "IN", "India", "Mumbai", 19.08, 72.88 },
    { "ZA", "South Africa", "Johannesburg", -26.20, 28.05 },
};

// Several servers in every city, as providers have them; pings measured just now, so
// that the catalogue sends none while the benchmark runs, some without an answer.
QList<VpnServer> catalogue()
{
    const QDateTime now = QDateTime::currentDateTime();
    QList<VpnServer> servers;
    servers.reserve(ServerCount);
    for (int i = 0; i < ServerCount; ++i) {
        const Place &place = Places[i % std::size(Places)];
        const int nth = i / int(std::size(Places));
        VpnServer server;
        server.setUid(QStringLiteral("srv-%1").arg(i, 5, 10, QLatin1Char('0')));
        server.setHost(server.uid() + QStringLiteral(".noxel.invalid"));
        server.setAddress(QStringLiteral("127.%1.%2.%3").arg(i / 62500).arg(i / 250 % 250).arg(i % 250 + 1));
        Country country;
        country.setCode(QString::fromLatin1(place.code));
        country.setName(QString::fromLatin1(place.country));
        server.setCountry(country);
        Coordinate coord;
        coord.setLat(place.lat + nth % 50 * 0.01);
        coord.setLng(place.lng + nth % 40 * 0.01);
        Location location;
        location.setName(QString::fromUtf8(place.city));
        location.setCoord(coord);
        server.setLocation(location);
        server.setCapacity(i % 31 == 0 ? VpnServer::UnknownCapacity : quint16(i * 7 % 101));
        server.setCapacityIndicator(i % 31 == 0 ? VpnServer::UnknownCapacity : quint16(i * 13 % 120));
        server.setPing(i % 23 == 0 ? -1 : (i * 7919) % 300 + 1);
        server.setPingTime(now);
        servers.append(server);
    }
    return servers;
}

// Until the event loop has handled what the last change posted: the view lays its
// rows out on a zero timer and paints on the update request that follows.
void settle()
{
    for (int round = 0; round < 2; ++round) {
        QEventLoop loop;
        QTimer::singleShot(0, &loop, &QEventLoop::quit);
        loop.exec();
        QCoreApplication::processEvents();
    }
}

// The same cells in a plain table model, in the catalogue's order. Its search role
// holds the texts of the two columns the panel searches, country and location, so
// that a plain proxy searching every column applies the panel's filter.
class CellTable : public QAbstractTableModel
{
public:
    static constexpr int SearchRole = Qt::UserRole + 1;

    explicit CellTable(const VpnServerModel &from)
        : rows(from.rowCount())
        , columns(from.columnCount())
    {
        static const int roles[] = { Qt::DisplayRole, Qt::UserRole, Qt::DecorationRole, Qt::ToolTipRole,
            Qt::TextAlignmentRole, Qt::ForegroundRole, Qt::BackgroundRole };
        for (const int role : roles) {
            QList<QVariant> &values = cells[role];
            values.reserve(rows * columns);
            for (int row = 0; row < rows; ++row) {
                for (int column = 0; column < columns; ++column)
                    values.append(from.index(row, column).data(role));
            }
        }
        QList<QVariant> &search = cells[SearchRole];
        search.resize(rows * columns);
        for (int row = 0; row < rows; ++row) {
            for (const int column : { from.countryColumn(), from.locationColumn() })
                search[row * columns + column] = from.index(row, column).data();
        }
        for (int column = 0; column < columns; ++column)
            headers.append(from.headerData(column, Qt::Horizontal, Qt::DisplayRole));
    }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : rows;
    }
    int columnCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : columns;
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        const auto values = cells.constFind(role);
        if (!index.isValid() || values == cells.cend())
            return QVariant();
        return values->at(index.row() * columns + index.column());
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
            return headers.value(section);
        return QAbstractTableModel::headerData(section, orientation, role);
    }

private:
    int rows;
    int columns;
    QHash<int, QList<QVariant>> cells;
    QVariantList headers;
};

// The display texts of a column, top down.
QStringList columnTexts(const QAbstractItemModel &model, int column)
{
    QStringList texts;
    texts.reserve(model.rowCount());
    for (int row = 0; row < model.rowCount(); ++row)
        texts.append(model.index(row, column).data().toString());
    return texts;
}

class Bench
{
public:
    bool setUp()
    {
        QTcpServer closed;
        closed.listen(QHostAddress::LocalHost);
        qputenv(Mirrow::AddressesVariable, QStringLiteral("127.0.0.1:%1").arg(closed.serverPort()).toUtf8());
        core = std::make_unique<Core>();
        // Without a database the list goes straight to the catalogue.
        core->databaseManager()->storeServers(catalogue());
        if (core->vpnManager()->count() != ServerCount)
            return false;

        panel = std::make_unique<ConnectionPanel>(core.get());
        panel->resize(1000, 760);
        panel->show();
        for (QLineEdit *edit : panel->findChildren<QLineEdit *>()) {
            if (edit->placeholderText() == ConnectionPanel::tr("Search for VPN server"))
                search = edit;
        }
        view = panel->findChild<QTreeView *>();
        proxy = view ? qobject_cast<VpnServerFilterModel *>(view->model()) : nullptr;
        if (!search || !proxy)
            return false;
        // Distances measured from Berlin.
        Coordinate coord;
        coord.setLat(52.52);
        coord.setLng(13.40);
        own.setCoord(coord);
        locate();

        cells = std::make_unique<CellTable>(*proxy->serverModel());
        baselineProxy.setSourceModel(cells.get());
        baselineProxy.setDynamicSortFilter(true);
        baselineProxy.setFilterCaseSensitivity(Qt::CaseInsensitive);
        baselineProxy.setSortRole(Qt::UserRole);
        baselineProxy.setFilterKeyColumn(-1);
        baselineProxy.setFilterRole(CellTable::SearchRole);
        baselineSearch = new QLineEdit(&baseline);
        baselineView = new QTreeView(&baseline);
        auto *layout = new QVBoxLayout(&baseline);
        layout->addWidget(baselineSearch);
        layout->addWidget(baselineView, 1);
        baselineView->setModel(&baselineProxy);
        baselineView->setSortingEnabled(true);
        baselineView->setAlternatingRowColors(true);
        baselineView->setIndentation(0);
        baselineView->setRootIsDecorated(false);
        baselineView->setUniformRowHeights(true);
        QHeaderView *header = baselineView->header();
        header->setStretchLastSection(false);
        for (int column = 0; column < cells->columnCount(); ++column) {
            header->setSectionResizeMode(column, view->header()->sectionResizeMode(column));
            header->resizeSection(column, view->header()->sectionSize(column));
        }
        baselineView->setFixedSize(view->size());
        QObject::connect(baselineSearch, &QLineEdit::textChanged, &baselineProxy,
            qOverload<const QString &>(&QSortFilterProxyModel::setFilterWildcard));
        baselineView->sortByColumn(model()->pingColumn(), Qt::AscendingOrder);
        baseline.show();
        settle();
        return proxy->rowCount() == ServerCount && baselineProxy.rowCount() == ServerCount;
    }

    const VpnServerModel *model() const { return proxy->serverModel(); }

    // The user's own location arrives: every distance changes.
    void locate()
    {
        emit core->originalIpChanged(own);
        settle();
    }

    void type(const QString &text)
    {
        search->setText(text);
        settle();
    }

    void typeBaseline(const QString &text)
    {
        baselineSearch->setText(text);
        settle();
    }

    void sort(int column)
    {
        view->sortByColumn(column, Qt::AscendingOrder);
        settle();
    }

    void sortBaseline(int column)
    {
        baselineView->sortByColumn(column, Qt::AscendingOrder);
        settle();
    }

    // Both tables show the same rows, and the column they are sorted by the same texts
    // in the same order.
    bool check(const char *name, int column)
    {
        if (proxy->rowCount() != baselineProxy.rowCount()) {
            std::fprintf(
                stderr, "%s: %d rows, baseline %d\n", name, proxy->rowCount(), baselineProxy.rowCount());
            return false;
        }
        if (column >= 0 && columnTexts(*proxy, column) != columnTexts(baselineProxy, column)) {
            std::fprintf(stderr, "%s: the column's order differs from the baseline's\n", name);
            return false;
        }
        return true;
    }

    void tearDown()
    {
        panel.reset();
        core.reset();
    }

private:
    std::unique_ptr<Core> core;
    GeoIp own;
    std::unique_ptr<ConnectionPanel> panel;
    QLineEdit *search = nullptr;
    QTreeView *view = nullptr;
    VpnServerFilterModel *proxy = nullptr;
    std::unique_ptr<CellTable> cells;
    QSortFilterProxyModel baselineProxy;
    QWidget baseline;
    QLineEdit *baselineSearch = nullptr;
    QTreeView *baselineView = nullptr;
};

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir home;
    if (!Benchmark::setUpProgram(home)) {
        std::fprintf(stderr, "bench_table: no temporary home\n");
        return 1;
    }
    QApplication app(argc, argv);

    bool ok = true;
    double slowestKeystroke = 0;
    double slowestSort = 0;
    {
        Bench bench;
        if (!bench.setUp()) {
            std::fprintf(stderr, "bench_table: set-up failed\n");
            return 1;
        }

        // One keystroke each: the search text before it and after it.
        struct Keystroke
        {
            const char *name;
            const char *before;
            const char *after;
        };
        static const Keystroke keystrokes[] = {
            { "keystroke_first_letter", "", "F" },
            { "keystroke_one_more_letter", "Fra", "Fran" },
            { "keystroke_backspace", "Fran", "Fra" },
            { "keystroke_clearing", "F", "" },
        };
        for (const Keystroke &keystroke : keystrokes) {
            const QString before = QString::fromLatin1(keystroke.before);
            const QString after = QString::fromLatin1(keystroke.after);
            const Benchmark::Timing timing = Benchmark::measure(
                Repetitions,
                [&] {
                    bench.type(before);
                    bench.typeBaseline(before);
                },
                [&] { bench.type(after); }, [&] { bench.typeBaseline(after); });
            bench.type(after);
            bench.typeBaseline(after);
            ok = bench.check(keystroke.name, -1) && ok;
            Benchmark::report(keystroke.name, timing);
            slowestKeystroke = std::max(slowestKeystroke, timing.msecs);
        }

        // A click on a column's header, coming from the order by ping (or by country).
        const VpnServerModel *model = bench.model();
        const std::pair<const char *, int> columns[] = {
            { "sort_country", model->countryColumn() },
            { "sort_location", model->locationColumn() },
            { "sort_server", model->serverColumn() },
            { "sort_free", model->freeColumn() },
            { "sort_ping", model->pingColumn() },
            { "sort_distance", model->distanceColumn() },
        };
        for (const auto &[name, column] : columns) {
            const int from = column == model->pingColumn() ? model->countryColumn() : model->pingColumn();
            const Benchmark::Timing timing = Benchmark::measure(
                Repetitions,
                [&] {
                    bench.sort(from);
                    bench.sortBaseline(from);
                },
                [&, column = column] { bench.sort(column); },
                [&, column = column] { bench.sortBaseline(column); });
            bench.sort(column);
            ok = bench.check(name, column) && ok;
            Benchmark::report(name, timing);
            slowestSort = std::max(slowestSort, timing.msecs);
        }

        // The first sort by a column after every row changed: the user's own location
        // arrived and with it every distance.
        const int ping = model->pingColumn();
        const int country = model->countryColumn();
        const Benchmark::Timing changed = Benchmark::measure(
            Repetitions,
            [&] {
                bench.sort(ping);
                bench.sortBaseline(ping);
                bench.locate();
            },
            [&] { bench.sort(country); }, [&] { bench.sortBaseline(country); });
        bench.sort(country);
        ok = bench.check("sort_country_after_change", country) && ok;
        Benchmark::report("sort_country_after_change", changed);
        slowestSort = std::max(slowestSort, changed.msecs);
        bench.tearDown();
    }
    std::printf("slowest keystroke: %.1f ms (goal %.0f ms), slowest sort: %.1f ms (goal %.0f ms)\n",
        slowestKeystroke, KeystrokeGoalMs, slowestSort, SortGoalMs);
    return ok ? 0 : 1;
}
