import QtQuick
import QtQuick.Layouts
import Corvana

// The About screen: the mark, the name, the version and kind of build, and the credits.
Item {
    implicitWidth: 320
    implicitHeight: column.implicitHeight + 64

    ColumnLayout {
        id: column
        anchors.centerIn: parent
        width: parent.width - 48
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
            horizontalAlignment: Text.AlignHCenter
            Layout.fillWidth: true
        }
        DesignLabel {
            text: SetupPresentation.versionLine
            color: DesignSystem.muted
            horizontalAlignment: Text.AlignHCenter
            Layout.fillWidth: true
        }
        DesignLabel {
            text: SetupPresentation.buildLine
            font.pixelSize: DesignSystem.smallSize
            color: DesignSystem.faint
            horizontalAlignment: Text.AlignHCenter
            Layout.fillWidth: true
        }

        // Credits.
        Rectangle {
            visible: SetupPresentation.showsCredits
            Layout.fillWidth: true
            Layout.topMargin: DesignSystem.gutter
            Layout.bottomMargin: DesignSystem.unit
            implicitHeight: 1
            color: DesignSystem.line
        }
        Image {
            visible: SetupPresentation.showsPublisherLogo
            source: SetupPresentation.showsPublisherLogo ? SetupPresentation.publisherLogo : ""
            fillMode: Image.PreserveAspectFit
            sourceSize.height: 64
            Layout.preferredHeight: 32
            Layout.alignment: Qt.AlignHCenter
            Accessible.role: Accessible.Graphic
            Accessible.name: "Quorrel logo"
        }
        DesignLabel {
            visible: text.length > 0
            text: SetupPresentation.creditsLine
            font.pixelSize: DesignSystem.smallSize
            color: DesignSystem.muted
            horizontalAlignment: Text.AlignHCenter
            Layout.fillWidth: true
        }
    }
}
