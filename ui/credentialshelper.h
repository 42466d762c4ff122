#pragma once

#include <QObject>

#include <memory>

class Context;
class CredentialsHelperPrivate;
class QWidget;

// Keeps a new account's username and password for the user: saves them as a text
// sheet on the desktop or prints them, each with the provider's home page.
class CredentialsHelper : public QObject
{
    Q_OBJECT

public:
    // The dialogs open over `window`, which also owns the helper.
    CredentialsHelper(Context *context, QWidget *window);
    ~CredentialsHelper() override;

    // The saved sheet: the credentials framed in a box of '#'.
    static QString sheet(const QString &username, const QString &password, const QString &website);
    // The printed page: the HTML template with the credentials filled in.
    static QString document(const QString &username, const QString &password, const QString &website);

public slots:
    // Writes the sheet into the desktop folder, or the home folder when there is
    // none, replacing an earlier one, readable by the user alone, and then tells the
    // user where it is. The folder is asked of xdg-user-dir without waiting for it.
    void save(const QString &username, const QString &password);
    // Asks for a printer and prints the page.
    void print(const QString &username, const QString &password);

signals:
    // A save has ended and the user has been told; `path` is empty when the file
    // could not be written.
    void saved(const QString &path);

private:
    std::unique_ptr<CredentialsHelperPrivate> d;
};
