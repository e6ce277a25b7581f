import QtQuick
import Corvana

// "Sources · N" of the answer in front: the document passages it cites, opened on request.
CitationSources {
    objectName: "sourcesDisclosure"
    rows: presentation.citationRows
    title: presentation.sourcesTitle
    note: presentation.sourcesNote
    // The answer detail shows the retrieval line itself, under the source notes.
    line: ""
}
