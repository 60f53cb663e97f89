// SPDX-License-Identifier: MIT
#include "hostile/hostilefiles.h"

#include <gsf/gsf.h>
#include <zlib.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <stdexcept>

namespace hostile {

namespace {

struct GObjectUnref {
    void operator()(void* object) const { g_object_unref(object); }
};

const char* const kWordNamespaces =
    "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" "
    "xmlns:wp=\"http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing\" "
    "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
    "xmlns:pic=\"http://schemas.openxmlformats.org/drawingml/2006/picture\"";

const char* const kContentTypes =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
    "<Default Extension=\"rels\" "
    "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
    "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
    "<Override PartName=\"/word/document.xml\" ContentType=\"application/"
    "vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/></Types>";

const char* const kPackageRelationships =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
    "Target=\"word/document.xml\"/></Relationships>";

void put32(std::string& bytes, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        bytes += static_cast<char>((value >> shift) & 0xFF);
    }
}

void put16(std::string& bytes, std::uint32_t value) {
    bytes += static_cast<char>(value & 0xFF);
    bytes += static_cast<char>((value >> 8) & 0xFF);
}

std::uint32_t crcOf(const std::string& bytes) {
    return static_cast<std::uint32_t>(
        ::crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

std::string pngChunk(const std::string& type, const std::string& data) {
    std::string chunk;
    const std::uint32_t length = static_cast<std::uint32_t>(data.size());
    for (int shift = 24; shift >= 0; shift -= 8) {
        chunk += static_cast<char>((length >> shift) & 0xFF);
    }
    const std::string body = type + data;
    chunk += body;
    const std::uint32_t crc = crcOf(body);
    for (int shift = 24; shift >= 0; shift -= 8) {
        chunk += static_cast<char>((crc >> shift) & 0xFF);
    }
    return chunk;
}

// Raw deflate data (no zlib header) for the bytes, ending on a byte boundary with the
// compressor's state reset (Z_FULL_FLUSH), so that copies of it may follow each other in one
// stream; or ending the stream (Z_FINISH).
std::string deflateSegment(const std::string& bytes, int flush) {
    z_stream stream{};
    if (deflateInit2(&stream, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) != Z_OK) {
        throw std::runtime_error("deflateInit2 failed");
    }
    std::string out(deflateBound(&stream, bytes.size()) + 64, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream.avail_in = static_cast<uInt>(bytes.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int status = deflate(&stream, flush);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (status != (flush == Z_FINISH ? Z_STREAM_END : Z_OK) || stream.avail_in != 0) {
        throw std::runtime_error("deflate failed");
    }
    return out;
}

struct ZipEntry {
    std::string name;
    std::uint16_t method = 0;
    std::uint32_t crc = 0;
    std::uint32_t compressed = 0;
    std::uint32_t unpacked = 0;
    std::uint32_t offset = 0;
};

std::string localHeader(const ZipEntry& entry) {
    std::string header;
    put32(header, 0x04034b50);
    put16(header, 20);  // version needed
    put16(header, 0);   // flags
    put16(header, entry.method);
    put16(header, 0);     // time
    put16(header, 0x21);  // date: 1 January 1980
    put32(header, entry.crc);
    put32(header, entry.compressed);
    put32(header, entry.unpacked);
    put16(header, static_cast<std::uint32_t>(entry.name.size()));
    put16(header, 0);
    return header + entry.name;
}

std::string centralHeader(const ZipEntry& entry) {
    std::string header;
    put32(header, 0x02014b50);
    put16(header, 20);  // made by
    put16(header, 20);  // version needed
    put16(header, 0);
    put16(header, entry.method);
    put16(header, 0);
    put16(header, 0x21);
    put32(header, entry.crc);
    put32(header, entry.compressed);
    put32(header, entry.unpacked);
    put16(header, static_cast<std::uint32_t>(entry.name.size()));
    put16(header, 0);  // extra field
    put16(header, 0);  // comment
    put16(header, 0);  // disk
    put16(header, 0);  // internal attributes
    put32(header, 0);  // external attributes
    put32(header, entry.offset);
    return header + entry.name;
}

}  // namespace

void writeZip(const std::string& path, const Parts& parts) {
    gsf_init();
    GError* error = nullptr;
    const std::unique_ptr<GsfOutput, GObjectUnref> output(
        gsf_output_stdio_new(path.c_str(), &error));
    g_clear_error(&error);
    if (!output) {
        throw std::runtime_error("cannot write " + path);
    }
    const std::unique_ptr<GsfOutfile, GObjectUnref> zip(gsf_outfile_zip_new(output.get(), &error));
    g_clear_error(&error);
    if (!zip) {
        throw std::runtime_error("cannot write a zip package to " + path);
    }
    // Folders are made once and closed after every part is in them.
    std::map<std::string, GsfOutfile*> folders;
    std::vector<std::unique_ptr<GsfOutput, GObjectUnref>> openFolders;
    const auto folderOf = [&](const std::string& name) -> GsfOutfile* {
        GsfOutfile* parent = zip.get();
        std::size_t start = 0;
        for (std::size_t slash = name.find('/'); slash != std::string::npos;
             slash = name.find('/', start)) {
            const std::string prefix = name.substr(0, slash);
            auto found = folders.find(prefix);
            if (found == folders.end()) {
                GsfOutput* folder =
                    gsf_outfile_new_child(parent, name.substr(start, slash - start).c_str(), TRUE);
                openFolders.emplace_back(folder);
                found = folders.emplace(prefix, GSF_OUTFILE(folder)).first;
            }
            parent = found->second;
            start = slash + 1;
        }
        return parent;
    };
    for (const auto& [name, bytes] : parts) {
        GsfOutfile* folder = folderOf(name);
        const std::string leaf = name.substr(name.rfind('/') + 1);
        GsfOutput* child = name == "mimetype" ? gsf_outfile_new_child_full(
                                                    folder, leaf.c_str(), FALSE,
                                                    "compression-level", GSF_ZIP_STORED, nullptr)
                                              : gsf_outfile_new_child(folder, leaf.c_str(), FALSE);
        gsf_output_write(child, bytes.size(), reinterpret_cast<const guint8*>(bytes.data()));
        gsf_output_close(child);
        g_object_unref(child);
    }
    for (auto it = openFolders.rbegin(); it != openFolders.rend(); ++it) {
        gsf_output_close(it->get());
    }
    openFolders.clear();
    gsf_output_close(GSF_OUTPUT(zip.get()));
}

std::string pngWithText(const std::string& text) {
    std::string header;
    for (std::uint32_t value : {4u, 4u}) {  // width, height
        for (int shift = 24; shift >= 0; shift -= 8) {
            header += static_cast<char>((value >> shift) & 0xFF);
        }
    }
    header += std::string("\x08\x02\x00\x00\x00", 5);  // 8-bit RGB, no interlace
    std::string rows;
    for (int row = 0; row < 4; ++row) {
        rows += '\0';  // no filter
        for (int column = 0; column < 4; ++column) {
            rows += std::string("\xFF\x00\x00", 3);
        }
    }
    std::string packed(compressBound(rows.size()), '\0');
    uLongf packedSize = packed.size();
    ::compress(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
               reinterpret_cast<const Bytef*>(rows.data()), rows.size());
    packed.resize(packedSize);
    return std::string("\x89PNG\r\n\x1A\n", 8) + pngChunk("IHDR", header) +
           pngChunk("tEXt", std::string("Comment") + '\0' + text) + pngChunk("IDAT", packed) +
           pngChunk("IEND", "");
}

std::string hexOf(const std::string& text) {
    static const char* const digits = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : text) {
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    return hex;
}

Parts wordPackage(const std::string& body, const std::string& relationships) {
    return {
        {"[Content_Types].xml", kContentTypes},
        {"_rels/.rels", kPackageRelationships},
        {"word/document.xml",
         std::string("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?><w:document ") +
             kWordNamespaces + "><w:body>" + body + "</w:body></w:document>"},
        {"word/_rels/document.xml.rels",
         "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?><Relationships "
         "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">" +
             relationships + "</Relationships>"},
    };
}

std::string linkedPictureParagraph(const std::string& relationshipId, int number) {
    const std::string id = std::to_string(number);
    return "<w:p><w:r><w:drawing><wp:inline><wp:extent cx=\"914400\" cy=\"914400\"/>"
           "<wp:docPr id=\"" +
           id + "\" name=\"Picture " + id +
           "\"/><a:graphic><a:graphicData "
           "uri=\"http://schemas.openxmlformats.org/drawingml/2006/picture\"><pic:pic>"
           "<pic:nvPicPr><pic:cNvPr id=\"" +
           id + "\" name=\"Picture " + id +
           "\"/><pic:cNvPicPr/></pic:nvPicPr><pic:blipFill><a:blip r:link=\"" + relationshipId +
           "\"/><a:stretch><a:fillRect/></a:stretch></pic:blipFill><pic:spPr><a:xfrm>"
           "<a:off x=\"0\" y=\"0\"/><a:ext cx=\"914400\" cy=\"914400\"/></a:xfrm>"
           "<a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom></pic:spPr></pic:pic>"
           "</a:graphicData></a:graphic></wp:inline></w:drawing></w:r></w:p>";
}

Parts macroDocument(const std::string& markerPath) {
    const char* const macro =
        "vnd.sun.star.script:Standard.Module1.Main?language=Basic&amp;location=document";
    std::string listeners;
    // dom:load is the document's load event; the engine runs a document macro from it only in
    // some ways of opening, from the view's events in others.
    for (const char* event :
         {"dom:load", "office:load-finished", "office:view-created", "office:layout-finished"}) {
        listeners += std::string(
                         "<script:event-listener script:language=\"ooo:script\" "
                         "script:event-name=\"") +
                     event + "\" xlink:type=\"simple\" xlink:href=\"" + macro + "\"/>";
    }
    return {
        {"mimetype", "application/vnd.oasis.opendocument.text"},
        {"content.xml",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><office:document-content "
         "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
         "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
         "xmlns:script=\"urn:oasis:names:tc:opendocument:xmlns:script:1.0\" "
         "xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
         // The listeners' language "ooo:script" is a name in this namespace.
         "xmlns:ooo=\"http://openoffice.org/2004/office\" office:version=\"1.3\"><office:scripts>"
         "<office:event-listeners>" +
             listeners +
             "</office:event-listeners></office:scripts><office:body><office:text>"
             "<text:p>A document with a macro</text:p></office:text></office:body>"
             "</office:document-content>"},
        {"Basic/script-lc.xml",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><library:libraries "
         "xmlns:library=\"http://openoffice.org/2000/library\" "
         "xmlns:xlink=\"http://www.w3.org/1999/xlink\"><library:library library:name=\"Standard\" "
         "library:link=\"false\"/></library:libraries>"},
        {"Basic/Standard/script-lb.xml",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><library:library "
         "xmlns:library=\"http://openoffice.org/2000/library\" library:name=\"Standard\" "
         "library:readonly=\"false\" library:passwordprotected=\"false\"><library:element "
         "library:name=\"Module1\"/></library:library>"},
        {"Basic/Standard/Module1.xml",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><script:module "
         "xmlns:script=\"http://openoffice.org/2000/script\" script:name=\"Module1\" "
         "script:language=\"StarBasic\">Sub Main\nOpen &quot;" +
             markerPath +
             "&quot; For Output As #1\nPrint #1, &quot;ran&quot;\nClose #1\nEnd Sub\n"
             "</script:module>"},
        {"META-INF/manifest.xml",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><manifest:manifest "
         "xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\" "
         "manifest:version=\"1.3\"><manifest:file-entry manifest:full-path=\"/\" "
         "manifest:version=\"1.3\" "
         "manifest:media-type=\"application/vnd.oasis.opendocument.text\"/>"
         "<manifest:file-entry manifest:full-path=\"content.xml\" "
         "manifest:media-type=\"text/xml\"/><manifest:file-entry "
         "manifest:full-path=\"Basic/script-lc.xml\" manifest:media-type=\"text/xml\"/>"
         "<manifest:file-entry manifest:full-path=\"Basic/Standard/script-lb.xml\" "
         "manifest:media-type=\"text/xml\"/><manifest:file-entry "
         "manifest:full-path=\"Basic/Standard/Module1.xml\" manifest:media-type=\"text/xml\"/>"
         "</manifest:manifest>"},
    };
}

void writeUnpackingBomb(const std::string& path, std::uint64_t unpackedBytes) {
    const std::string head = std::string(
                                 "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
                                 "<w:document ") +
                             kWordNamespaces + "><w:body>";
    const std::string tail = "</w:body></w:document>";
    std::string chunk;
    while (chunk.size() < (1u << 20) - 6) {
        chunk += "<w:p/>";
    }
    if (unpackedBytes >= (1ULL << 32) || unpackedBytes < head.size() + tail.size()) {
        throw std::runtime_error("the unpacked size must be below 4 GiB");
    }
    const std::uint64_t copies = (unpackedBytes - head.size() - tail.size()) / chunk.size();

    const std::string packedHead = deflateSegment(head, Z_FULL_FLUSH);
    const std::string packedChunk = deflateSegment(chunk, Z_FULL_FLUSH);
    const std::string packedTail = deflateSegment(tail, Z_FINISH);
    uLong crc =
        ::crc32(0, reinterpret_cast<const Bytef*>(head.data()), static_cast<uInt>(head.size()));
    const uLong chunkCrc = crcOf(chunk);
    for (std::uint64_t i = 0; i < copies; ++i) {
        crc = crc32_combine(crc, chunkCrc, static_cast<z_off_t>(chunk.size()));
    }
    crc = crc32_combine(crc, crcOf(tail), static_cast<z_off_t>(tail.size()));

    std::vector<ZipEntry> entries;
    std::ofstream out(path, std::ios::binary);
    std::uint64_t offset = 0;
    const auto storedEntry = [&](const std::string& name, const std::string& bytes) {
        ZipEntry entry{name,
                       0,
                       crcOf(bytes),
                       static_cast<std::uint32_t>(bytes.size()),
                       static_cast<std::uint32_t>(bytes.size()),
                       static_cast<std::uint32_t>(offset)};
        const std::string header = localHeader(entry);
        out << header << bytes;
        offset += header.size() + bytes.size();
        entries.push_back(entry);
    };
    storedEntry("[Content_Types].xml", kContentTypes);
    storedEntry("_rels/.rels", kPackageRelationships);

    const std::uint64_t compressed =
        packedHead.size() + copies * packedChunk.size() + packedTail.size();
    ZipEntry document{"word/document.xml",
                      8,
                      static_cast<std::uint32_t>(crc),
                      static_cast<std::uint32_t>(compressed),
                      static_cast<std::uint32_t>(head.size() + copies * chunk.size() + tail.size()),
                      static_cast<std::uint32_t>(offset)};
    const std::string header = localHeader(document);
    out << header << packedHead;
    for (std::uint64_t i = 0; i < copies; ++i) {
        out << packedChunk;
    }
    out << packedTail;
    offset += header.size() + compressed;
    entries.push_back(document);

    std::string directory;
    for (const ZipEntry& entry : entries) {
        directory += centralHeader(entry);
    }
    std::string end;
    put32(end, 0x06054b50);
    put16(end, 0);
    put16(end, 0);
    put16(end, static_cast<std::uint32_t>(entries.size()));
    put16(end, static_cast<std::uint32_t>(entries.size()));
    put32(end, static_cast<std::uint32_t>(directory.size()));
    put32(end, static_cast<std::uint32_t>(offset));
    put16(end, 0);
    out << directory << end;
    if (!out.flush()) {
        throw std::runtime_error("cannot write " + path);
    }
}

}  // namespace hostile
