// vnxml::CXMLSwParser: reads the update service's reply to a scan request
// into the exchange's CXMLBuffer. Each `update` record is applied to the
// watch list and the driver list as soon as its end tag is read (the item is
// named by the sequence number it was sent with); the `status`,
// `authentication` and `subscription-notification` blocks are copied into the
// buffer. A reply that breaks off keeps what was applied before the break.
//
//   vnxml::CXMLSwParser parser(buffer);
//   buffer.PrepareForReply();
//   parser.ParseBuffer(reply.data(), reply.size());
//   if (buffer.status.IsSuccess()) ...
#pragma once

#include "service/xml_buffer.h"
#include "service/xml_parser.h"

class VN_UpdatedItem;

namespace vnxml {

class CXMLSwParser : public CXMLParserInit {
public:
    // Throws CVnException when the reader cannot be created.
    explicit CXMLSwParser(CXMLBuffer& buffer) : buffer_(buffer) {}

    // Applies one reply record to one item: nothing unless the record's
    // Sequence is the item's number in decimal. Sets the buffer's changed and
    // notify flags as the record changes the item; answers true when the item
    // is newly out of date (its name or current version changed and the
    // record says "true", exactly).
    bool ApplyUpdate(VN_UpdatedItem& item, const CXMLUpdate& record);

protected:
    bool OnStartElement(const std::string& name, const platform::SaxAttributes& attributes) override;
    bool OnEndElement(const std::string& name) override;

private:
    // Applies the record to every item of the list; true when one became
    // newly out of date.
    bool ApplyToList(VN_ListBaseSync* list, const CXMLUpdate& record);

    void EndAuthentication(std::unique_ptr<CXMLObject> record);
    void EndStatus(std::unique_ptr<CXMLObject> record);
    void EndNote(std::unique_ptr<CXMLObject> record);
    void EndButton(std::unique_ptr<CXMLObject> record);
    void EndUpdate(std::unique_ptr<CXMLObject> record);

    static bool IsRecordName(const std::string& name);

    CXMLBuffer& buffer_;
    size_t nestedRecords_ = 0;  // record start tags passed over, whose end tags are still to come
};

}  // namespace vnxml
