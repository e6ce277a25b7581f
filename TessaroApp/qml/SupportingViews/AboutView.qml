import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Corvana

// The About screen: the mark, the name and the version.
Item {
    implicitWidth: 320
    implicitHeight: column.implicitHeight + 64

    ColumnLayout {
        id: column
        anchors.centerIn: parent
        spacing: 6

        BrandMark {
            size: 72
            Layout.alignment: Qt.AlignHCenter
            Layout.bottomMargin: 10
        }
        DesignLabel {
            text: "Corvana"
            font.pixelSize: DesignSystem.headlineSize
            font.weight: Font.DemiBold
            Layout.alignment: Qt.AlignHCenter
        }
        DesignLabel {
            text: "Version " + app.version
            color: DesignSystem.muted
            Layout.alignment: Qt.AlignHCenter
        }
    }
}
