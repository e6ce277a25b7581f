import QtQuick
import Corvana

// "Sources · N" of the answer in front: the document passages it cites, opened on request.
CitationSources {
    objectName: "sourcesDisclosure"
    rows: SessionPresentation.citationRows
    title: SessionPresentation.sourcesTitle
    note: SessionPresentation.sourcesNote
    // The answer detail shows the retrieval line itself, under the source notes.
    line: ""
}
