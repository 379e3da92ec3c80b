#include "files/store_model.h"

#include "common/message_box.h"
#include "common/operation_view.h"
#include "common/text_format.h"
#include "files/srecord_writer.h"
#include "project/memory_image.h"

#include <sys/stat.h>

CStoreModel::CStoreModel(CMemoryImage& image, const CMemoryRange& physical) : image_(image), physical_(physical)
{
    SetRange(range_);
}

void CStoreModel::SetRange(const CMemoryRange& r)
{
    range_ = r;
    entry.Show(r);
}

bool CStoreModel::ReadFields(CMessageBox* box)
{
    return entry.Read(physical_, box, range_);
}

void CStoreModel::BeforeChooseFile(CMessageBox& box)
{
    ReadFields(&box);
}

void CStoreModel::FitToMemoryImage(CMessageBox& box)
{
    ReadFields(&box);
    CMemoryRange r = image_.GetUsedRange(1);
    if (r.GetSize() == 0 || !r.CheckInside(physical_, "", nullptr))
        r = physical_;
    r.lengthMode = 1;
    SetRange(r);
}

bool CStoreModel::Store(COperationView& view, CMessageBox& box)
{
    storedBytes_ = 0;
    if (!ReadFields(&box))
        return false;
    view.SetStatus("");
    struct stat st {};
    if (streamFd < 0 && ::stat(fileName.c_str(), &st) == 0 &&
        box.Show("File already exists!   Do you want replace it?", "Confirmed", EMsgIcon::Question,
                 EMsgButtons::YesNo) != EMsgResult::Yes)
        return false;

    CSRecordWriter writer;
    int result = kStoreOk;
    if (streamFd >= 0)
        writer.CreateStream(streamFd, fileName);
    else
        result = writer.Create(fileName);
    if (result == kStoreOk) {
        CWaitCursor cursor(view);
        view.SetStatus("Storing S-Record file... please wait!");
        result = writer.Write(image_, range_, storedBytes_);
    }
    switch (result) {
    case kStoreOk:
        view.SetStatus(
            Format("Storing of %lu bytes successful terminated !", static_cast<unsigned long>(storedBytes_)));
        return true;
    case kStoreCannotOpen:
        box.Show(Format("File %s could not be opened !\n%s", fileName.c_str(), writer.Error().c_str()), "File-Error",
                 EMsgIcon::Stop, EMsgButtons::Ok);
        return false;
    default:
        view.SetStatus("");
        box.Show(Format("File %s could not be written !\n%s", fileName.c_str(), writer.Error().c_str()),
                 "File-Error", EMsgIcon::Stop, EMsgButtons::Ok);
        return false;
    }
}
