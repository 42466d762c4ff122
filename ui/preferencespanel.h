#pragma once

#include <QWidget>

#include <memory>

class Core;
class PreferencesPanelPrivate;
class QAbstractButton;

// The user's settings and the interface language. Every change of a control is
// written at once; the controls are filled from the stored values whenever the
// panel is shown.
class PreferencesPanel : public QWidget
{
    Q_OBJECT

public:
    PreferencesPanel(Core *core, QWidget *parent = nullptr);
    ~PreferencesPanel() override;

protected slots:
    void buttonClicked(QAbstractButton *button);
    void loadConfiguration();
    void applyChanges();
    void restoreDefaults();

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void retranslate();

    std::unique_ptr<PreferencesPanelPrivate> d;
};
