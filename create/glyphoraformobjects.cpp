// The Create form's object list and canvas kept in step with the composition: the list
// shows the objects in reverse drawing order (the topmost in row 0), each row carrying
// its object's id; the position, size and rotation boxes show the selected object.

#include "create/glyphoraform.h"
#include "ui_glyphoraform.h"

#include <QListWidgetItem>
#include <QPixmap>
#include <QSpinBox>

#include "create/formsupport.h"
#include "render/composition.h"

using namespace FormSupport;

namespace {

// The hidden thumbnail of the selected object.
constexpr int kThumbnailSide = 128;
// Where a row keeps the id of its object.
constexpr int kIdRole = Qt::UserRole;

QListWidgetItem* newRow(const ImageData& object)
{
    auto* item = new QListWidgetItem(QIcon(QPixmap::fromImage(object.displayImage)), object.name());
    item->setData(kIdRole, object.id);
    return item;
}

} // namespace

int GlyphoraForm::rowOfId(int id) const
{
    for (int row = 0; row < ui->listWidget->count(); ++row) {
        if (idOfRow(row) == id)
            return row;
    }
    return -1;
}

int GlyphoraForm::idOfRow(int row) const
{
    const QListWidgetItem* item = ui->listWidget->item(row);
    return item ? item->data(kIdRole).toInt() : -1;
}

// ---- The composition told a change ------------------------------------------------------

void GlyphoraForm::on_ObjectsReset()
{
    NotReady notReady(ready);
    ui->listWidget->dragItem = nullptr;
    ui->listWidget->clear();
    for (const ImageData& object : model->imageDataList())
        ui->listWidget->insertItem(0, newRow(object));
    ui->listWidget->clearSelection();
    ui->listWidget->setCurrentItem(nullptr);
    setObjectControlsVisible(false);
    setRowButtons(-1);
    ui->dropImageLabel->setVisible(model->imageDataList().isEmpty());
}

void GlyphoraForm::on_ObjectInserted(int index)
{
    NotReady notReady(ready);
    const QList<ImageData>& objects = model->imageDataList();
    ui->listWidget->insertItem(int(objects.size()) - 1 - index, newRow(objects.at(index)));
    ui->dropImageLabel->hide();
    setRowButtons(ui->listWidget->selectedItems().isEmpty() ? -1 : ui->listWidget->currentRow());
}

void GlyphoraForm::on_ObjectRemoved(int, int id)
{
    NotReady notReady(ready);
    const int row = rowOfId(id);
    if (row >= 0) {
        QListWidgetItem* item = ui->listWidget->item(row);
        if (ui->listWidget->dragItem == item)
            ui->listWidget->dragItem = nullptr;
        delete ui->listWidget->takeItem(row);
    }
    // The canvas lets go of a removed selection; the list and the boxes say the same.
    const int selected = ui->widget->selectedId();
    if (selected < 0) {
        ui->listWidget->clearSelection();
        setObjectControlsVisible(false);
        setRowButtons(-1);
    } else {
        setRowButtons(rowOfId(selected));
    }
    if (ui->listWidget->count() == 0)
        ui->dropImageLabel->show();
}

void GlyphoraForm::on_ObjectReordered(int, int to)
{
    NotReady notReady(ready);
    const QList<ImageData>& objects = model->imageDataList();
    const int id = objects.at(to).id;
    const int newPos = int(objects.size()) - 1 - to;
    const int oldPos = rowOfId(id);
    // A row dropped within the list is moved by the list itself once its signal returns.
    if (!listMovesRow && oldPos >= 0 && oldPos != newPos) {
        QListWidgetItem* item = ui->listWidget->takeItem(oldPos);
        ui->listWidget->insertItem(newPos, item);
    }
    const int selected = ui->widget->selectedId();
    if (selected >= 0 && !listMovesRow) {
        QListWidgetItem* item = ui->listWidget->item(rowOfId(selected));
        ui->listWidget->setCurrentItem(item);
        ui->listWidget->dragItem = item;
        setRowButtons(rowOfId(selected));
    }
    ui->widget->update();
}

void GlyphoraForm::on_ObjectChanged(int index)
{
    if (index != ui->widget->selectedIndex())
        return;
    // Every step of a drag comes here: the boxes only, not the thumbnail.
    NotReady notReady(ready);
    const ImageData& object = model->imageDataList().at(index);
    ui->positionXSpinBox->setValue(object.position.x());
    ui->positionYSpinBox->setValue(object.position.y());
    ui->sizeSpinBox->setValue(object.scale);
    ui->rotateSpinBox->setValue(object.rotation);
}

// ---- The canvas told a change ---------------------------------------------------------------

void GlyphoraForm::on_AddItem(int imageDataIndex, QImage)
{
    if (imageDataIndex < 0 || imageDataIndex >= model->imageDataList().size())
        return;
    const int row = rowOfId(model->imageDataList().at(imageDataIndex).id);
    if (row >= 0)
        ui->listWidget->setCurrentItem(ui->listWidget->item(row));
    on_ItemSelected(imageDataIndex);
    ui->dropImageLabel->hide();
}

void GlyphoraForm::on_ItemSelected(int imageDataIndex)
{
    if (imageDataIndex < 0 || imageDataIndex >= model->imageDataList().size())
        return;
    {
        NotReady notReady(ready);
        const int row = rowOfId(model->imageDataList().at(imageDataIndex).id);
        if (QListWidgetItem* item = ui->listWidget->item(row)) {
            ui->listWidget->setCurrentItem(item);
            ui->listWidget->dragItem = item;
        }
        showObjectValues(imageDataIndex);
        setRowButtons(ui->listWidget->currentRow());
        setObjectControlsVisible(true);
    }
    ready = true;
}

void GlyphoraForm::showObjectValues(int imageDataIndex)
{
    NotReady notReady(ready);
    const ImageData& object = model->imageDataList().at(imageDataIndex);
    ui->selectedImageLabel->setPixmap(QPixmap::fromImage(
        object.image.scaled(kThumbnailSide, kThumbnailSide, Qt::KeepAspectRatio, Qt::FastTransformation)));
    ui->selectedImageNameLabel->setText(object.name());
    ui->positionXSpinBox->setValue(object.position.x());
    ui->positionYSpinBox->setValue(object.position.y());
    ui->sizeSpinBox->setValue(object.scale);
    // The box would otherwise show the last object's angle and a step of its arrows
    // would turn this object to that angle.
    ui->rotateSpinBox->setValue(object.rotation);
}

void GlyphoraForm::on_itemMoved(int imageDataIndex)
{
    if (imageDataIndex < 0 || imageDataIndex >= model->imageDataList().size())
        return;
    NotReady notReady(ready);
    ui->positionXSpinBox->setValue(model->imageDataList().at(imageDataIndex).position.x());
    ui->positionYSpinBox->setValue(model->imageDataList().at(imageDataIndex).position.y());
}

void GlyphoraForm::on_itemScaled(int imageDataIndex)
{
    if (imageDataIndex < 0 || imageDataIndex >= model->imageDataList().size())
        return;
    NotReady notReady(ready);
    ui->sizeSpinBox->setValue(model->imageDataList().at(imageDataIndex).scale);
}

void GlyphoraForm::on_itemRotated(int imageDataIndex)
{
    if (imageDataIndex < 0 || imageDataIndex >= model->imageDataList().size())
        return;
    NotReady notReady(ready);
    ui->rotateSpinBox->setValue(model->imageDataList().at(imageDataIndex).rotation);
}

// ---- The object boxes -----------------------------------------------------------------------

// Each box changes only its own coordinate: the other is the object's own, not what the
// other box shows, which may have been clamped or not refreshed.
void GlyphoraForm::on_positionXSpinBox_valueChanged(int arg1)
{
    const int index = ui->widget->selectedIndex();
    if (ready && index >= 0) {
        const ImageData& object = model->imageDataList().at(index);
        model->moveObject(object.id, QPoint(arg1, object.position.y()), controlGesture(ui->positionXSpinBox));
    }
}

void GlyphoraForm::on_positionYSpinBox_valueChanged(int arg1)
{
    const int index = ui->widget->selectedIndex();
    if (ready && index >= 0) {
        const ImageData& object = model->imageDataList().at(index);
        model->moveObject(object.id, QPoint(object.position.x(), arg1), controlGesture(ui->positionYSpinBox));
    }
}

void GlyphoraForm::on_sizeSpinBox_valueChanged(int arg1)
{
    if (ready && ui->widget->selectedId() >= 0)
        model->scaleObject(ui->widget->selectedId(), arg1, controlGesture(ui->sizeSpinBox));
}

void GlyphoraForm::on_rotateSpinBox_valueChanged(int arg1)
{
    if (ready && ui->widget->selectedId() >= 0)
        model->rotateObject(ui->widget->selectedId(), arg1, controlGesture(ui->rotateSpinBox));
}

void GlyphoraForm::setObjectControlsVisible(bool visible)
{
    QWidget* controls[] = {ui->positionLabel, ui->positionXSpinBox, ui->commaLabel, ui->positionYSpinBox,
                           ui->sizeLabel,     ui->sizeSpinBox,      ui->percentLabel, ui->rotateLabel,
                           ui->rotateSpinBox};
    for (QWidget* control : controls)
        control->setVisible(visible);
    ui->objectNoteLabel->setVisible(!visible);
}

void GlyphoraForm::setRowButtons(int row)
{
    const bool any = row >= 0;
    ui->upToolButton->setEnabled(any && row >= 1);
    ui->downToolButton->setEnabled(any && row < ui->listWidget->count() - 1);
    ui->deleteToolButton->setEnabled(any);
}

// ---- The object list ----------------------------------------------------------------------

void GlyphoraForm::on_ListWidget_itemSelectionChanged()
{
    if (!ready)
        return;
    const QList<QListWidgetItem*> selected = ui->listWidget->selectedItems();
    if (selected.isEmpty()) {
        setRowButtons(-1);
        return;
    }
    QListWidgetItem* first = selected.constFirst();
    ui->listWidget->dragItem = first;
    ui->widget->selectById(first->data(kIdRole).toInt());
    setRowButtons(ui->listWidget->row(first));
}

void GlyphoraForm::moveObjectForRows(int oldRow, int newRow)
{
    const int count = int(model->imageDataList().size());
    model->reorderObject(count - 1 - oldRow, count - 1 - newRow);
}

void GlyphoraForm::moveSelectedRow(int step)
{
    const int row = ui->listWidget->currentRow();
    const int newRow = row + step;
    if (row < 0 || newRow < 0 || newRow >= ui->listWidget->count())
        return;
    moveObjectForRows(row, newRow);
}

void GlyphoraForm::on_upToolButton_clicked()
{
    moveSelectedRow(-1);
}

void GlyphoraForm::on_downToolButton_clicked()
{
    moveSelectedRow(+1);
}

void GlyphoraForm::on_ListWidget_itemMoved(int oldPos, int newPos)
{
    // The list moves the row itself once this returns; only the objects move here.
    QListWidgetItem* item = ui->listWidget->item(oldPos);
    if (!item)
        return;
    {
        NotReady notReady(ready);
        listMovesRow = true;
        moveObjectForRows(oldPos, newPos);
        listMovesRow = false;
        ui->widget->selectById(item->data(kIdRole).toInt());
        setRowButtons(newPos);
    }
    ready = true;
}

void GlyphoraForm::on_ListWidget_needToMoveitem(int oldPos, int newPos)
{
    const int count = ui->listWidget->count();
    if (oldPos < 0 || oldPos >= count || newPos < 0 || newPos >= count)
        return;
    const int id = idOfRow(oldPos);
    {
        NotReady notReady(ready);
        moveObjectForRows(oldPos, newPos);
        ui->listWidget->clearSelection();
        QListWidgetItem* item = ui->listWidget->item(rowOfId(id));
        ui->listWidget->setCurrentItem(item);
        ui->listWidget->dragItem = item;
        ui->widget->selectById(id);
        setRowButtons(rowOfId(id));
    }
    ready = true;
}

void GlyphoraForm::on_deleteToolButton_clicked()
{
    QList<int> ids;
    for (const QListWidgetItem* item : ui->listWidget->selectedItems())
        ids.append(item->data(kIdRole).toInt());
    model->removeObjects(ids);
    // Nothing is selected on the canvas now; the list says the same.
    NotReady notReady(ready);
    ui->widget->selectById(-1);
    ui->listWidget->clearSelection();
    setObjectControlsVisible(false);
    setRowButtons(-1);
}
