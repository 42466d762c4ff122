#pragma once

#include <QAbstractListModel>

// The interface languages the user can choose from.
class LanguageModel : public QAbstractListModel
{
    Q_OBJECT

public:
    explicit LanguageModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
};
