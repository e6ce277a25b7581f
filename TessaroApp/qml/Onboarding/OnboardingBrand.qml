import QtQuick
import QtQuick.Layouts
import Corvana

// The brand column of the first run: the mark, the promise and the three pages, the
// one in front marked.
Rectangle {
    objectName: "onboardingBrand"
    color: DesignSystem.surface

    Rectangle {
        anchors.right: parent.right
        width: 1
        height: parent.height
        color: DesignSystem.line
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.leftMargin: 40
        anchors.rightMargin: 24
        anchors.topMargin: 56
        anchors.bottomMargin: 40
        spacing: DesignSystem.pad

        BrandMark { size: 52 }
        DesignLabel {
            text: "Expertise,\nwithin reach."
            font.pixelSize: DesignSystem.headlineSize + 6
            font.weight: Font.DemiBold
            lineHeight: 1.05
            Layout.fillWidth: true
            Layout.topMargin: DesignSystem.gap
        }
        DesignLabel {
            text: "Your domain. The conversation.\nThe answer, ready when you need it."
            font.pixelSize: DesignSystem.bodySize
            color: DesignSystem.muted
            lineHeight: 1.2
            Layout.fillWidth: true
        }

        ColumnLayout {
            objectName: "onboardingPages"
            spacing: DesignSystem.gutter
            Layout.fillWidth: true
            Layout.topMargin: DesignSystem.margin + 8

            Repeater {
                model: OnboardingPresentation.pageRows
                delegate: RowLayout {
                    id: pageRow
                    required property string title
                    required property bool passed
                    required property bool current
                    spacing: DesignSystem.gutter
                    Layout.fillWidth: true
                    Accessible.role: Accessible.ListItem
                    Accessible.name: pageRow.title
                    Accessible.description: pageRow.passed ? "Done" : pageRow.current ? "Current page" : "Next"

                    // A filled check once passed, a filled circle otherwise.
                    Rectangle {
                        implicitWidth: 20
                        implicitHeight: 20
                        radius: 10
                        color: pageRow.passed || pageRow.current ? DesignSystem.accent : DesignSystem.line
                        Canvas {
                            anchors.fill: parent
                            visible: pageRow.passed
                            antialiasing: true
                            property color ink: DesignSystem.accentInk
                            onInkChanged: requestPaint()
                            onPaint: {
                                const ctx = getContext("2d")
                                ctx.reset()
                                ctx.strokeStyle = ink
                                ctx.lineWidth = 2
                                ctx.lineCap = "round"
                                ctx.lineJoin = "round"
                                ctx.beginPath()
                                ctx.moveTo(5.5, 10.5)
                                ctx.lineTo(8.6, 13.4)
                                ctx.lineTo(14.5, 7)
                                ctx.stroke()
                            }
                        }
                    }
                    DesignLabel {
                        text: pageRow.title
                        font.weight: pageRow.current ? Font.DemiBold : Font.Normal
                        color: pageRow.current ? DesignSystem.ink : DesignSystem.muted
                        Accessible.ignored: true
                        Layout.fillWidth: true
                    }
                }
            }
        }

        Item { Layout.fillHeight: true }
    }
}
