#include "PictureDialog.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QImageReader>
#include <QRegularExpression>
#include <QSortFilterProxyModel>
#include <QStandardPaths>

namespace {

// Qt would take "*.bmp;*.jpg" as one pattern and match it case-sensitively;
// the dialog filters through this model instead.
class PictureFilterModel : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

    void setPictureFilter(const QString& filter) {
        filter_ = filter;
        invalidateFilter();
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (!files)
            return true;
        const QModelIndex index = files->index(row, 0, parent);
        return files->isDir(index) || matchesPictureFilter(files->fileName(index), filter_);
    }

private:
    QString filter_;
};

QStringList filterPatterns(const QString& filter) {
    const qsizetype open = filter.lastIndexOf(u'(');
    const qsizetype close = filter.lastIndexOf(u')');
    if (open < 0 || close < open)
        return {};
    return filter.mid(open + 1, close - open - 1)
        .split(QRegularExpression(QStringLiteral("[; ]+")), Qt::SkipEmptyParts);
}

QString lastFolder;

} // namespace

QString picturesFilter() {
    return QStringLiteral("Pictures (*.bmp;*.jpg)");
}

QString allPicturesFilter() {
    QStringList patterns;
    for (const QByteArray& format : QImageReader::supportedImageFormats())
        patterns << QStringLiteral("*.") + QString::fromLatin1(format);
    // Read through libheif: phones' HEIC photos and AVIF.
    for (const char* heif : {"*.heic", "*.heif", "*.avif"})
        if (!patterns.contains(QLatin1String(heif)))
            patterns << QString::fromLatin1(heif);
    return QStringLiteral("Toate pozele (%1)").arg(patterns.join(u' '));
}

bool matchesPictureFilter(const QString& fileName, const QString& filter) {
    QStringList patterns = filterPatterns(filter);
    if (patterns.contains(QStringLiteral("*.jpg"), Qt::CaseInsensitive))
        patterns << QStringLiteral("*.jpeg");
    for (const QString& pattern : patterns) {
        const QRegularExpression wildcard(QRegularExpression::wildcardToRegularExpression(pattern),
                                          QRegularExpression::CaseInsensitiveOption);
        if (wildcard.match(fileName).hasMatch())
            return true;
    }
    return false;
}

void choosePicture(QWidget* parent, std::function<void(const QString&)> chosen) {
    if (lastFolder.isEmpty() || !QFileInfo(lastFolder).isDir()) {
        lastFolder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
        if (!QFileInfo(lastFolder).isDir())
            lastFolder = QDir::homePath();
    }
    auto* dialog = new QFileDialog(parent, QStringLiteral("Incarca Poza"), lastFolder);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->setObjectName(QStringLiteral("CommonDialog1"));
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    auto* model = new PictureFilterModel(dialog);
    dialog->setProxyModel(model);
    dialog->setNameFilters({picturesFilter(), allPicturesFilter()});

    auto* files = qobject_cast<QFileSystemModel*>(model->sourceModel());
    auto useFilter = [files, model](const QString& filter) {
        if (files)
            files->setNameFilters({});
        model->setPictureFilter(filter);
    };
    QObject::connect(dialog, &QFileDialog::filterSelected, model, useFilter, Qt::QueuedConnection);
    dialog->selectNameFilter(picturesFilter());
    useFilter(picturesFilter());

    QObject::connect(dialog, &QDialog::finished, dialog, [dialog, chosen](int result) {
        QString file;
        if (result == QDialog::Accepted && !dialog->selectedFiles().isEmpty()) {
            file = dialog->selectedFiles().constFirst();
            lastFolder = QFileInfo(file).absolutePath();
        }
        chosen(file);
    });
    dialog->show();
}
