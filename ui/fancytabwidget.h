#pragma once

#include <QWidget>

class FancyTabBar;
class QIcon;
class QStackedLayout;
class QVBoxLayout;

// The main window's body: the tab column on the left, in the panel colour, and the
// panels beside it, one visible at a time.
class FancyTabWidget : public QWidget
{
    Q_OBJECT

public:
    explicit FancyTabWidget(QWidget *parent = nullptr);

    void insertTab(int index, QWidget *widget, const QIcon &icon, const QString &label);
    void setTabEnabled(int index, bool enabled);
    void setTabText(int index, const QString &label);
    void addCornerWidget(QWidget *widget);
    int currentIndex() const;
    int count() const;
    QWidget *widget(int index) const;
    FancyTabBar *tabBar() const;

public slots:
    void setCurrentIndex(int index);
    void setSelectionWidgetHidden(bool hidden);

signals:
    void currentAboutToShow(int index);
    void currentChanged(int index);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void showWidget(int index);

    FancyTabBar *bar;
    QWidget *selectionWidget;
    QVBoxLayout *cornerLayout;
    QStackedLayout *panels;
};
